#pragma once

#include <array>
#include <cstdint>

#include "scsi/scsi_device.h"

class Clock;
class OutputWindow;
class TestContext;

inline constexpr int kPageOk = 4;
inline constexpr int kPageFailed = 1;

inline constexpr uint8_t kSmartMrieOnRequest = 6;  // report informational exceptions only on request
inline constexpr uint8_t kSmartFlagsLogErr = 0x01; // LogErr on, exceptions enabled, all else off
inline constexpr uint8_t kSmartFlagsKeep = 0xFF;   // leave the flags byte as the drive has it

// Times the drive's own page is written back before the run gives up, with
// a short wait before each attempt after the first.
inline constexpr int kPageRestoreAttempts = 5;
inline constexpr int64_t kPageRestorePauseMilliseconds = 1000;

// The informational exceptions control mode page (1Ch) as a test run found
// it, changed it and puts it back. Layout of the buffer: mode parameter
// header (4 bytes, no block descriptor), then the 12-byte page.
class ExceptionsPageSave {
public:
    explicit ExceptionsPageSave(OutputWindow* output) : output(output) {}
    // A page still changed when the holder goes (the run ended early, or was
    // stopped) is put back as a step no stop cuts off.
    ~ExceptionsPageSave();
    ExceptionsPageSave(const ExceptionsPageSave&) = delete;
    ExceptionsPageSave& operator=(const ExceptionsPageSave&) = delete;

    bool Changed() const { return changed; }
    // Every attempt to put the page back failed: the drive keeps the
    // test's settings, and the report has said so with the page's bytes.
    bool RestoreFailed() const { return restoreFailed; }

    std::array<uint8_t, 255> buffer{};
    OutputWindow* output;
    const uint8_t* page = nullptr;  // the buffer once a MODE SENSE of the page succeeded

    // Decoded by SaveExceptionsPage.
    int perf = 0;
    int dexcpt = 0;
    int logErr = 0;
    int test = 0;  // 0 or 4, as the bit lies
    int mrie = 0;
    uint32_t intervalTimer = 0;
    uint32_t reportCount = 0;

    // Bytes 6 and 7 as the drive had them before EnableSmartReporting.
    uint8_t savedFlags = 0;
    uint8_t savedMrie = 0;
    bool saved = false;

private:
    friend int EnableSmartReporting(TestContext&, ExceptionsPageSave&, uint8_t, uint8_t);
    friend int RestoreExceptionsPage(TestContext&, ExceptionsPageSave&);
    int Restore(DeviceHandle* device, Clock* clock, int report);

    bool changed = false;
    bool restoreFailed = false;
    DeviceHandle changedOn;
    Clock* clock = nullptr;  // paces the attempts to put the page back
};

// Reads and decodes the current page and traces its settings. 4 or 1; a
// drive that answers RECOVERED ERROR with ASC 5Dh shows "SMART TRIP".
int SaveExceptionsPage(TestContext& context, ExceptionsPageSave& holder);
// Reads the page again, keeps bytes 6 and 7, writes flags (unless FFh) and
// MRIE. 4 or 1.
int EnableSmartReporting(TestContext& context, ExceptionsPageSave& holder, uint8_t mrie, uint8_t flags);
// Writes the kept bytes 6 and 7 back, trying again after a failure;
// nothing is sent when the page was never read for a change. 4 or 1.
int RestoreExceptionsPage(TestContext& context, ExceptionsPageSave& holder);

// The settings trace (clog, only while the diagnostic mirror is on).
void TraceExceptionsSettings(const ExceptionsPageSave& holder);
