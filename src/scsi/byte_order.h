#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// SCSI fields are big-endian (SPC-4, 3.5): every multi-byte field of a CDB,
// of parameter data and of sense data is read and written through these.

template <size_t Bytes>
constexpr uint64_t LoadBigEndian(const uint8_t* at)
{
    static_assert(Bytes >= 1 && Bytes <= 8);
    uint64_t value = 0;
    for (size_t i = 0; i < Bytes; ++i) value = (value << 8) | at[i];
    return value;
}

// A field whose width is known only at run time (1 to 8 bytes).
constexpr uint64_t LoadBigEndian(const uint8_t* at, size_t bytes)
{
    uint64_t value = 0;
    for (size_t i = 0; i < bytes && i < 8; ++i) value = (value << 8) | at[i];
    return value;
}

inline uint16_t LoadBe16(const uint8_t* at) { return static_cast<uint16_t>(LoadBigEndian<2>(at)); }
inline uint32_t LoadBe24(const uint8_t* at) { return static_cast<uint32_t>(LoadBigEndian<3>(at)); }
inline uint32_t LoadBe32(const uint8_t* at) { return static_cast<uint32_t>(LoadBigEndian<4>(at)); }
inline uint64_t LoadBe64(const uint8_t* at) { return LoadBigEndian<8>(at); }

// Writes the low Bytes bytes of value, most significant first.
template <size_t Bytes>
constexpr void StoreBigEndian(uint8_t* at, uint64_t value)
{
    static_assert(Bytes >= 1 && Bytes <= 8);
    for (size_t i = Bytes; i > 0; --i) {
        at[i - 1] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

// A field whose width is known only at run time (1 to 8 bytes).
constexpr void StoreBigEndian(uint8_t* at, uint64_t value, size_t bytes)
{
    for (size_t i = bytes < 8 ? bytes : 8; i > 0; --i) {
        at[i - 1] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

// Appends a field of `bytes` bytes (1 to 8) to data being built.
inline void AppendBigEndian(std::vector<uint8_t>& out, uint64_t value, size_t bytes)
{
    out.resize(out.size() + bytes);
    StoreBigEndian(out.data() + out.size() - bytes, value, bytes);
}

inline void StoreBe16(uint8_t* at, uint16_t value) { StoreBigEndian<2>(at, value); }
inline void StoreBe24(uint8_t* at, uint32_t value) { StoreBigEndian<3>(at, value); }
inline void StoreBe32(uint8_t* at, uint32_t value) { StoreBigEndian<4>(at, value); }
inline void StoreBe64(uint8_t* at, uint64_t value) { StoreBigEndian<8>(at, value); }

// The adapter's device list (platform/adapter_list.h) is the one
// little-endian layout the program reads.
inline uint32_t LoadLe32(const uint8_t* at)
{
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

inline void StoreLe32(uint8_t* at, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
