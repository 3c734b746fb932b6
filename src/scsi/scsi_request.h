#pragma once

#include <cstdint>

// The pass-through record. Field names and meanings follow the pass-through
// header the program was first written against; only the fields the transport
// needs are acted upon, the rest stay for callers that read them.
struct ScsiRequest {
    uint16_t Length = 0;             // set by the executor: 44
    uint8_t ScsiStatus = 0;          // SCSI status byte from the target, 0 = GOOD
    uint8_t PathId = 0;
    uint8_t TargetId = 0;
    uint8_t Lun = 0;
    uint8_t CdbLength = 0;           // 6, 10 (12, 16 for commands built by hand)
    uint8_t SenseInfoLength = 0;     // sense bytes the transport may return (24)
    uint8_t DataIn = 0;              // 1 = from the device, 0 = to the device
    uint8_t padding[3] = {};
    uint32_t DataTransferLength = 0; // bytes in DataBuffer
    uint32_t TimeOutValue = 0;       // seconds
    void* DataBuffer = nullptr;      // null when the command moves no data
    uint32_t SenseInfoOffset = 0;    // set by the executor: 48
    uint8_t Cdb[16] = {};
    uint32_t filler = 0;
    uint8_t SenseData[32] = {};      // fixed-format sense after CHECK CONDITION
    // Set by the transport: bytes of the data phase that did not move. A
    // reader takes only DataTransferLength - DataResidual bytes; a drive
    // that sent fewer than asked never leaves stale buffer bytes looking
    // like its reply.
    uint32_t DataResidual = 0;
};

// Bytes the drive really moved in the request's data phase.
inline uint32_t DataTransferred(const ScsiRequest& request)
{
    return request.DataResidual < request.DataTransferLength ? request.DataTransferLength - request.DataResidual : 0;
}

inline constexpr uint8_t kScsiDataIn = 1;
inline constexpr uint8_t kScsiDataOut = 0;

inline constexpr uint16_t kScsiPassThroughLength = 44;
inline constexpr uint8_t kSenseInfoLength = 24;
inline constexpr uint32_t kSenseInfoOffset = 48;

// SCSI status codes (SAM)
inline constexpr uint8_t kStatusGood = 0x00;
inline constexpr uint8_t kStatusCheckCondition = 0x02;
inline constexpr uint8_t kStatusBusy = 0x08;
inline constexpr uint8_t kStatusReservationConflict = 0x18;
