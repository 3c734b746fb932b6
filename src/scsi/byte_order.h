#pragma once

#include <cstddef>
#include <cstdint>

// SCSI fields are big-endian (SPC-4, 3.5): multi-byte fields of parameter
// data are read through these.

template <size_t Bytes>
constexpr uint64_t LoadBigEndian(const uint8_t* at)
{
    static_assert(Bytes >= 1 && Bytes <= 8);
    uint64_t value = 0;
    for (size_t i = 0; i < Bytes; ++i) value = (value << 8) | at[i];
    return value;
}

inline uint16_t LoadBe16(const uint8_t* at) { return static_cast<uint16_t>(LoadBigEndian<2>(at)); }
inline uint32_t LoadBe32(const uint8_t* at) { return static_cast<uint32_t>(LoadBigEndian<4>(at)); }
inline uint64_t LoadBe64(const uint8_t* at) { return LoadBigEndian<8>(at); }
