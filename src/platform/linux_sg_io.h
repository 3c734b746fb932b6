#pragma once

#include <scsi/sg.h>

#include <cstddef>
#include <cstdint>

#include "scsi/scsi_request.h"

// Room for the longest sense the sg driver returns, so descriptor-format
// sense can be converted before it is cut to the request's sense area.
inline constexpr size_t kSgSenseBufferSize = 252;

// The driver_status value that only says sense data came back.
inline constexpr unsigned kSgDriverSense = 0x08;

// Fills an SG_IO header for the request, pointing at its CDB and data buffer
// and at the caller's sense buffer. False (errno-style code in errorCode)
// when the request cannot be issued as it stands: a CDB length outside
// 1..16, or a data phase with an unknown direction.
bool PrepareSgIo(ScsiRequest& request, sg_io_hdr_t& header, uint8_t* sense, size_t senseSize, int& errorCode);

// Applies a completed SG_IO header to the request: false (ScsiStatus 0) when
// the host adapter or the driver reports an error; otherwise true with the
// SCSI status byte and, when sense came back, up to SenseInfoLength bytes of
// it in fixed format. `sense` is the buffer the header was prepared with.
bool CompleteSgIo(const sg_io_hdr_t& header, uint8_t* sense, ScsiRequest& request);
