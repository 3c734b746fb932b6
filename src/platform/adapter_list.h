#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The adapter's device list, the inquiry-data reply that discovery walks
// and traces (the simulated bench answers in it; files and tests keep it):
//
//   adapter bus info: u8 NumberOfBuses, 3 bytes padding, then per bus
//     (8 bytes): u8 NumberOfLogicalUnits, u8 InitiatorBusId, 2 bytes
//     padding, u32 InquiryDataOffset (from the start of the buffer; 0 = none)
//   inquiry data entry: u8 PathId, u8 TargetId, u8 Lun, u8 DeviceClaimed,
//     u32 InquiryDataLength, u32 NextInquiryDataOffset (0 ends the bus),
//     then InquiryDataLength bytes of standard INQUIRY data
//
// All integers little-endian.

inline constexpr size_t kAdapterBusInfoHeader = 4;
inline constexpr size_t kAdapterBusDataSize = 8;
inline constexpr size_t kAdapterInquiryHeader = 12;
inline constexpr size_t kAdapterListBufferSize = 2048;

struct AdapterListDevice {
    uint8_t busIndex = 0;  // the bus whose list holds the entry (set when parsed)
    uint8_t pathId = 0;
    uint8_t targetId = 0;
    uint8_t lun = 0;
    bool claimed = false;
    std::vector<uint8_t> inquiry;  // usually 36 bytes
};

struct AdapterList {
    uint8_t numberOfBuses = 0;
    // Entries in walk order: bus by bus, each bus's list in order.
    std::vector<AdapterListDevice> devices;
};

// Lays devices out bus by bus (devices grouped by their pathId, in the order
// given) into at most `limit` bytes; entries that do not fit are left out.
std::vector<uint8_t> BuildAdapterInquiryData(uint8_t numberOfBuses, const std::vector<AdapterListDevice>& devices,
                                             size_t limit = kAdapterListBufferSize);

// Reads a reply. Offsets outside the buffer, entries that overrun it and
// loops end a bus's list; never reads outside [data, data + size).
AdapterList ParseAdapterInquiryData(const uint8_t* data, size_t size);
