#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Sense data helpers (SPC-4 4.5).

inline constexpr uint8_t kSenseFixedCurrent = 0x70;
inline constexpr uint8_t kSenseFixedDeferred = 0x71;
inline constexpr uint8_t kSenseDescriptorCurrent = 0x72;
inline constexpr uint8_t kSenseDescriptorDeferred = 0x73;

// Rewrites descriptor-format sense (response code 72h/73h) in place as
// fixed format (70h/71h) of at most `capacity` bytes, carrying the sense
// key, ASC, ASCQ and, where present, the information, command-specific
// information and sense-key-specific descriptors. Fixed-format or unknown
// data is left alone. `length` is the number of valid bytes in `sense`;
// returns the valid length afterwards.
size_t ConvertSenseToFixed(uint8_t* sense, size_t length, size_t capacity);

// The three codes every reader looks at, from fixed-format sense.
struct SenseCodes {
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};
SenseCodes ReadSenseCodes(const uint8_t* fixedSense, size_t length);

// The information field of fixed-format sense when the drive marked it
// valid (SPC-4 4.5.3): for a medium error, the first block it could not
// read.
std::optional<uint32_t> ReadSenseInformation(const uint8_t* fixedSense, size_t length);

// The sense key's name as SPC-4 gives it ("MEDIUM ERROR").
const char* SenseKeyName(uint8_t senseKey);
