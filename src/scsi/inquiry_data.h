#pragma once

#include <cstddef>
#include <cstdint>

// Standard INQUIRY data (SPC-4 6.4.2) as the program uses it. Fields the
// reply did not carry read as zero.
struct StandardInquiry {
    uint8_t peripheral = 0;   // qualifier and device type together (byte 0)
    uint8_t additionalLength = 0;
    uint8_t byte3 = 0;
    uint8_t byte6 = 0;
    uint8_t byte7 = 0;
    char vendorId[9] = {};    // bytes 8-15
    char productId[17] = {};  // bytes 16-31
    char revision[5] = {};    // bytes 32-35
    char serialNumber[9] = {};  // bytes 36-43, where the maker's drives keep it
};

inline constexpr uint8_t kDirectAccessDevice = 0x00;

StandardInquiry DecodeStandardInquiry(const uint8_t* data, size_t size);

// READ CAPACITY(10) parameter data (SBC-3 5.16.2).
struct Capacity10 {
    uint32_t lastLba = 0;
    uint32_t blockLength = 0;
};
Capacity10 DecodeReadCapacity10(const uint8_t* data, size_t size);

// READ CAPACITY(16) parameter data (SBC-3 5.16.2), the fields the program
// uses.
struct Capacity16 {
    uint64_t lastLba = 0;
    uint32_t blockLength = 0;
};
// The data must hold at least the first 12 bytes; otherwise zeros.
Capacity16 DecodeReadCapacity16(const uint8_t* data, size_t size);
