#include "scsi/inquiry_data.h"

#include <cstring>

namespace {

// Copies [first, first + count) of the reply, stopping at its end.
template <size_t N>
void CopyField(char (&field)[N], const uint8_t* data, size_t size, size_t first)
{
    static_assert(N >= 2);
    std::memset(field, 0, N);
    for (size_t i = 0; i < N - 1 && first + i < size; ++i) field[i] = static_cast<char>(data[first + i]);
}

uint8_t ByteAt(const uint8_t* data, size_t size, size_t index) { return index < size ? data[index] : 0; }

}  // namespace

StandardInquiry DecodeStandardInquiry(const uint8_t* data, size_t size)
{
    StandardInquiry inquiry;
    if (data == nullptr) return inquiry;
    inquiry.peripheral = ByteAt(data, size, 0);
    inquiry.additionalLength = ByteAt(data, size, 4);
    inquiry.byte3 = ByteAt(data, size, 3);
    inquiry.byte6 = ByteAt(data, size, 6);
    inquiry.byte7 = ByteAt(data, size, 7);
    CopyField(inquiry.vendorId, data, size, 8);
    CopyField(inquiry.productId, data, size, 16);
    CopyField(inquiry.revision, data, size, 32);
    CopyField(inquiry.serialNumber, data, size, 36);
    return inquiry;
}

Capacity10 DecodeReadCapacity10(const uint8_t* data, size_t size)
{
    Capacity10 capacity;
    if (data == nullptr || size < 8) return capacity;
    capacity.lastLba = static_cast<uint32_t>(data[0]) << 24 | static_cast<uint32_t>(data[1]) << 16 |
                       static_cast<uint32_t>(data[2]) << 8 | data[3];
    capacity.blockLength = static_cast<uint32_t>(data[4]) << 24 | static_cast<uint32_t>(data[5]) << 16 |
                           static_cast<uint32_t>(data[6]) << 8 | data[7];
    return capacity;
}

Capacity16 DecodeReadCapacity16(const uint8_t* data, size_t size)
{
    Capacity16 capacity;
    if (data == nullptr || size < 12) return capacity;
    for (size_t i = 0; i < 8; ++i) capacity.lastLba = (capacity.lastLba << 8) | data[i];
    for (size_t i = 8; i < 12; ++i) capacity.blockLength = (capacity.blockLength << 8) | data[i];
    return capacity;
}
