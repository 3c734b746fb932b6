#pragma once

#include <cstdint>

#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"

// Command builders: each writes its CDB bytes, CDB length and time-out into
// a request the caller zeroed and gave a buffer, then executes it. CDB bytes
// a builder does not write are the caller's. Each returns the executor's
// result (1 GOOD, 0 failed) unless said otherwise.

// What most commands wait for a drive's answer, in seconds.
inline constexpr uint32_t kShortTimeOut = 2;

inline constexpr int kTestUnitReadyGood = 0;
inline constexpr int kTestUnitReadyStatus = 1;      // status not GOOD
inline constexpr int kTestUnitReadyCallFailed = 2;  // never reached the drive

// Returns kTestUnitReadyGood, kTestUnitReadyStatus or kTestUnitReadyCallFailed.
int ScsiTestUnitReady(int report, ScsiRequest& request, DeviceHandle* handle, uint32_t timeOut);
int ScsiRequestSense(ScsiRequest& request, DeviceHandle* handle, uint32_t allocationLength, int report);
int ScsiInquiry(const uint8_t* evpd, const uint8_t* pageCode, ScsiRequest& request, DeviceHandle* handle, int report);
int ScsiModeSelect6(const uint8_t* byte1, const uint8_t* parameterListLength, ScsiRequest& request,
                    DeviceHandle* handle, int report);
int ScsiModeSense6(const uint8_t* disableBlockDescriptors, const uint8_t* pageControl, const uint8_t* pageCode,
                   ScsiRequest& request, DeviceHandle* handle, int report);
int ScsiStartUnit(int report, ScsiRequest& request, DeviceHandle* handle);
int ScsiReceiveDiagnostic(uint16_t allocationLength, ScsiRequest& request, DeviceHandle* handle, int report);
int ScsiSendDiagnostic(uint8_t byte1, uint16_t parameterListLength, ScsiRequest& request, DeviceHandle* handle,
                       int report);
int ScsiReadCapacity(uint8_t pmi, uint32_t lba, ScsiRequest& request, DeviceHandle* handle, int report);
int ScsiRead10(const uint32_t* lba, const uint16_t* blockCount, ScsiRequest& request, DeviceHandle* handle,
               int report, uint32_t timeOut = kShortTimeOut);
int ScsiWriteVerify10(int byteCheck, const uint32_t* lba, const uint16_t* blockCount, ScsiRequest& request,
                      DeviceHandle* handle, int report);
int ScsiReadDefectData10(uint16_t allocationLength, uint8_t defectListFormat, uint8_t listSelect,
                         ScsiRequest& request, DeviceHandle* handle, int report);
int ScsiWriteBuffer(uint8_t mode, uint32_t parameterListLength, ScsiRequest& request, DeviceHandle* handle,
                    int report);
int ScsiReadBuffer(uint8_t mode, uint32_t allocationLength, ScsiRequest& request, DeviceHandle* handle, int report);
int ScsiLogSelect(uint8_t pageControl, uint16_t parameterListLength, ScsiRequest& request, DeviceHandle* handle,
                  int report);
int ScsiLogSense(uint8_t pageControl, uint16_t allocationLength, uint8_t pageCode, ScsiRequest& request,
                 DeviceHandle* handle, int report);
int ScsiVendorDF(ScsiRequest& request, DeviceHandle* handle, int report);

// The 16-byte forms, for drives whose blocks do not all have 32-bit
// addresses (SBC-3). READ CAPACITY (16) is SERVICE ACTION IN (16), service
// action 10h, asking for allocationLength bytes.
int ScsiReadCapacity16(uint8_t pmi, uint64_t lba, uint32_t allocationLength, ScsiRequest& request,
                       DeviceHandle* handle, int report);
int ScsiRead16(uint64_t lba, uint32_t blockCount, ScsiRequest& request, DeviceHandle* handle, int report,
               uint32_t timeOut = kShortTimeOut);
int ScsiWriteVerify16(int byteCheck, uint64_t lba, uint32_t blockCount, ScsiRequest& request, DeviceHandle* handle,
                      int report);

// VERIFY (10) and (16) with BYTCHK 0: the drive reads the blocks from its
// medium and checks them itself, and no data moves (SBC-3). The request
// carries no buffer.
int ScsiVerify10(uint32_t lba, uint16_t blockCount, ScsiRequest& request, DeviceHandle* handle, int report,
                 uint32_t timeOut = kShortTimeOut);
int ScsiVerify16(uint64_t lba, uint32_t blockCount, ScsiRequest& request, DeviceHandle* handle, int report,
                 uint32_t timeOut = kShortTimeOut);
