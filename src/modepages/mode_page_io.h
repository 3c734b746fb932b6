#pragma once

#include <cstdint>

#include "drives/sheet_device.h"
#include "scsi/sense.h"

inline constexpr int kModeWriteNoDevice = 0;
inline constexpr int kModeWriteFailed = 1;
inline constexpr int kModeWriteDone = 4;

// MODE SENSE(6) of one page (or 3Fh: all) of g_pSheetDevice into a buffer
// of kModeBufferSize bytes, block descriptors disabled, no failure report.
// A CHECK CONDITION whose sense byte 2 is 00h or 01h is a good read, when
// the mode parameter header arrived; the mode data length is cut to the
// bytes that did. False without any traffic when there is no device or its
// handle is not open.
bool ReadModePage(uint8_t* buffer, uint8_t pageControl, uint8_t pageCode);

// What a drive answered to a MODE SELECT it did not take: its status (0:
// the call itself failed) and, after CHECK CONDITION, its sense codes.
struct ModeWriteRefusal {
    uint8_t status = 0;
    SenseCodes sense;
};

// MODE SELECT(6) of mode data as MODE SENSE(6) returned it (parameter list
// length: byte 0 + 1), with PF, and SP when save is 1. The buffer is
// readied for it first (PrepareModeSelectList). Failures are reported on
// clog and, when `refusal` is given, described there. Returns
// kModeWriteDone, kModeWriteFailed, or kModeWriteNoDevice without traffic.
int WriteModePage(uint8_t* buffer, int save, ModeWriteRefusal* refusal = nullptr);
