#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Bytes of standard INQUIRY data that must arrive for a reply to count:
// the header with the peripheral byte and the additional length.
inline constexpr size_t kInquiryHeaderLength = 5;

// size: the bytes the drive really sent.
StandardInquiry DecodeStandardInquiry(const uint8_t* data, size_t size);

// Whether bytes 36-43 of the reply hold a serial number: the drive sent
// them (and counts them in its additional length), and they are printable
// and not all blank.
bool HasInquirySerialNumber(const uint8_t* data, size_t size);

// Room for a serial number and its terminating zero: the unit serial number
// page read with an allocation length of 255 carries at most 251 characters.
inline constexpr size_t kSerialNumberSize = 252;
inline constexpr uint8_t kUnitSerialNumberPage = 0x80;

// The PRODUCT SERIAL NUMBER of a unit serial number page (SPC-4 7.8.15)
// without the blanks (or zeros) that pad it on either side; nothing when the
// reply is not that page, or holds no serial, or a character that is not
// printable ASCII.
std::optional<std::string> DecodeUnitSerialNumberPage(const uint8_t* data, size_t size);

inline constexpr uint8_t kDeviceIdentificationPage = 0x83;

// The world wide names a device identification page (SPC-4 7.8.6) gives its
// logical unit, in page order: NAA and EUI-64 designators as "naa." or
// "eui." and lower-case hex digits, SCSI name strings as the drive wrote
// them. Names of target ports and other designator types are left out, and
// so is a designator that does not lie wholly within the page and the reply.
std::vector<std::string> DecodeLogicalUnitNames(const uint8_t* data, size_t size);

// READ CAPACITY(10) parameter data (SBC-3 5.16.2).
struct Capacity10 {
    uint32_t lastLba = 0;
    uint32_t blockLength = 0;
};
Capacity10 DecodeReadCapacity10(const uint8_t* data, size_t size);

// READ CAPACITY(10) answers this last LBA for a drive that READ CAPACITY(16)
// must describe.
inline constexpr uint32_t kCapacity10Overflow = 0xFFFFFFFF;

// READ CAPACITY(16) parameter data (SBC-3 5.16.2), the fields the program
// uses.
struct Capacity16 {
    uint64_t lastLba = 0;
    uint32_t blockLength = 0;
};
inline constexpr size_t kReadCapacity16Length = 32;
inline constexpr size_t kReadCapacity16Needed = 12;
// The data must hold at least the first 12 bytes; otherwise zeros.
Capacity16 DecodeReadCapacity16(const uint8_t* data, size_t size);
