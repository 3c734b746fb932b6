#pragma once

#include <cstddef>
#include <cstdint>

#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"

// LOG SENSE reads and the vendor LOG SELECT that the test suite and the
// SMART viewer share. Results: kLogPageOk (4) or kLogPageFailed (1).

inline constexpr int kLogPageOk = 4;
inline constexpr int kLogPageFailed = 1;

inline constexpr uint8_t kSupportedLogPagesPage = 0x00;
inline constexpr uint8_t kWriteErrorCountersPage = 0x02;
inline constexpr uint8_t kReadErrorCountersPage = 0x03;
inline constexpr uint8_t kVerifyErrorCountersPage = 0x05;
inline constexpr uint8_t kSmartStatusLogPage = 0x2F;
inline constexpr uint8_t kAttributeLogPage = 0x30;

// Length of the log page header (page code, reserved, page length).
inline constexpr uint16_t kLogPageHeaderLength = 4;

// LOG SENSE(10) of the current cumulative values of a page, parameter
// pointer 0, into buffer (allocationLength bytes). A CHECK CONDITION with
// additional sense code 00h or 01h counts as success: those drives say
// "no sense" or "no index/sector signal" while still answering. Either way
// the page header must have arrived, or nothing was read; `received`, when
// given, is how many bytes did: the only ones a caller may decode.
int ReadLogPage(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, uint8_t pageCode,
                size_t* received = nullptr);

int ReadSupportedLogPages(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, size_t* received = nullptr);
int ReadSmartStatusLogPage(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, size_t* received = nullptr);
int ReadAttributeLogPage(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, size_t* received = nullptr);

// The vendor LOG SELECT that opens the normalized SMART data: page 06h,
// parameter FFF0h with a fixed four-byte key. kLogPageOk when the drive
// took it (or refused it with additional sense code 00h or 01h). `answer`,
// when given, receives the request as the drive answered it.
int SmartLogSelectProbe(DeviceHandle* handle, ScsiRequest* answer = nullptr);

// The probe's 12-byte parameter list, as sent.
inline constexpr uint8_t kSmartProbeParameterList[12] = {
    0x06, 0x00, 0x00, 0x08,  // page 06h, page length 8
    0xFF, 0xF0, 0x03, 0x04,  // parameter FFF0h, control byte 03h, length 4
    0x5C, 0x2A, 0x00, 0x00,  // the vendor key
};

// True when a failed command still counts as accepted: CHECK CONDITION
// with fixed-format sense whose additional sense code is 00h or 01h. A
// failed call, or a status such as BUSY that carries no sense, is a failure.
bool IsTolerableCheckCondition(const ScsiRequest& request);
