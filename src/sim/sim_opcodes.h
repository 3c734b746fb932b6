#pragma once

#include <cstddef>
#include <cstdint>

// Operation codes the simulated target implements (SPC-4, SBC-3).
inline constexpr uint8_t kOpTestUnitReady = 0x00;
inline constexpr uint8_t kOpRequestSense = 0x03;
inline constexpr uint8_t kOpInquiry = 0x12;
inline constexpr uint8_t kOpStartStopUnit = 0x1B;
inline constexpr uint8_t kOpReadCapacity10 = 0x25;
inline constexpr uint8_t kOpRead10 = 0x28;
inline constexpr uint8_t kOpWriteAndVerify10 = 0x2E;
inline constexpr uint8_t kOpVerify10 = 0x2F;
inline constexpr uint8_t kOpRead16 = 0x88;
inline constexpr uint8_t kOpWriteAndVerify16 = 0x8E;
inline constexpr uint8_t kOpVerify16 = 0x8F;
inline constexpr uint8_t kOpServiceActionIn16 = 0x9E;
inline constexpr uint8_t kOpReceiveDiagnosticResults = 0x1C;
inline constexpr uint8_t kOpSendDiagnostic = 0x1D;
inline constexpr uint8_t kOpModeSelect6 = 0x15;
inline constexpr uint8_t kOpModeSense6 = 0x1A;
inline constexpr uint8_t kOpWriteBuffer = 0x3B;
inline constexpr uint8_t kOpReadBuffer = 0x3C;
inline constexpr uint8_t kOpLogSelect = 0x4C;
inline constexpr uint8_t kOpLogSense = 0x4D;
inline constexpr uint8_t kOpReadDefectData10 = 0x37;
inline constexpr uint8_t kOpVendorSmart = 0xDF;  // vendor specific: opens the normalized SMART data

inline constexpr uint8_t kSaReadCapacity16 = 0x10;

// CDB length of an operation code's group (SPC-4, operation code groups); 0 for the groups
// whose length the code does not tell (7Fh variable length, the vendors' groups).
inline constexpr size_t CdbGroupLength(uint8_t opcode)
{
    switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 0;
    }
}
