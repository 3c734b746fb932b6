#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Sense keys (SPC-4).
inline constexpr uint8_t kSenseKeyNoSense = 0x0;
inline constexpr uint8_t kSenseKeyRecoveredError = 0x1;
inline constexpr uint8_t kSenseKeyNotReady = 0x2;
inline constexpr uint8_t kSenseKeyMediumError = 0x3;
inline constexpr uint8_t kSenseKeyHardwareError = 0x4;
inline constexpr uint8_t kSenseKeyIllegalRequest = 0x5;
inline constexpr uint8_t kSenseKeyUnitAttention = 0x6;
inline constexpr uint8_t kSenseKeyDataProtect = 0x7;
inline constexpr uint8_t kSenseKeyAbortedCommand = 0xB;
inline constexpr uint8_t kSenseKeyMiscompare = 0xE;

// What a target reports after CHECK CONDITION or in REQUEST SENSE data,
// before it is laid out in one of the two sense formats.
struct SimSense {
    uint8_t senseKey = kSenseKeyNoSense;
    uint8_t asc = 0;
    uint8_t ascq = 0;

    bool informationValid = false;
    uint64_t information = 0;

    // SKS field pointer (SPC-4, field pointer): which byte (and
    // optionally which bit) of the CDB or parameter list was rejected.
    bool fieldPointerValid = false;
    bool inCdb = true;
    bool bitPointerValid = false;
    uint8_t bitPointer = 0;
    uint16_t fieldPointer = 0;

    bool operator==(const SimSense&) const = default;
};

SimSense MakeSense(uint8_t senseKey, uint8_t asc, uint8_t ascq);
// ILLEGAL REQUEST, INVALID FIELD IN CDB pointing at the offending byte/bit.
SimSense InvalidFieldInCdb(uint16_t byteIndex, int bitIndex = -1);
SimSense InvalidCommandOperationCode();
SimSense LbaOutOfRange();

inline constexpr size_t kFixedSenseLength = 18;

// Fixed format (response code 70h, SPC-4): 18 bytes.
std::vector<uint8_t> EncodeFixedSense(const SimSense& sense);
// Descriptor format (response code 72h, SPC-4) with an information
// descriptor and an SKS descriptor (type 02h) where they apply.
std::vector<uint8_t> EncodeDescriptorSense(const SimSense& sense);
