#include "scsi/inquiry_data.h"

#include <algorithm>
#include <cstring>

#include "scsi/byte_order.h"

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

bool IsPrintable(uint8_t c) { return c >= 0x20 && c <= 0x7E; }

constexpr size_t kInquirySerialFirst = 36;
constexpr size_t kInquirySerialLength = 8;
constexpr size_t kVpdHeaderLength = 4;

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

bool HasInquirySerialNumber(const uint8_t* data, size_t size)
{
    const size_t end = kInquirySerialFirst + kInquirySerialLength;
    if (data == nullptr || size < end || ByteAt(data, size, 4) + size_t{kInquiryHeaderLength} < end) return false;
    const uint8_t* field = data + kInquirySerialFirst;
    return std::all_of(field, field + kInquirySerialLength, IsPrintable) &&
           std::any_of(field, field + kInquirySerialLength, [](uint8_t c) { return c != ' '; });
}

std::optional<std::string> DecodeUnitSerialNumberPage(const uint8_t* data, size_t size)
{
    if (data == nullptr || size < kVpdHeaderLength || data[1] != kUnitSerialNumberPage) return std::nullopt;
    const size_t length = std::min<size_t>(LoadBe16(data + 2), size - kVpdHeaderLength);
    const uint8_t* first = data + kVpdHeaderLength;
    const uint8_t* last = first + length;
    const auto padding = [](uint8_t c) { return c == ' ' || c == 0; };
    while (first < last && padding(*first)) ++first;
    while (last > first && padding(last[-1])) --last;
    if (first == last || !std::all_of(first, last, IsPrintable)) return std::nullopt;
    return std::string(first, last);
}

std::vector<std::string> DecodeLogicalUnitNames(const uint8_t* data, size_t size)
{
    constexpr uint8_t kAssociationLogicalUnit = 0;
    constexpr uint8_t kEui64 = 2;
    constexpr uint8_t kNaa = 3;
    constexpr uint8_t kScsiNameString = 8;
    constexpr size_t kDesignatorHeader = 4;

    std::vector<std::string> names;
    if (data == nullptr || size < kVpdHeaderLength || data[1] != kDeviceIdentificationPage) return names;
    const size_t end = std::min<size_t>(kVpdHeaderLength + LoadBe16(data + 2), size);
    for (size_t at = kVpdHeaderLength; at + kDesignatorHeader <= end;) {
        const uint8_t association = (data[at + 1] >> 4) & 0x03;
        const uint8_t type = data[at + 1] & 0x0F;
        const size_t length = data[at + 3];
        const uint8_t* designator = data + at + kDesignatorHeader;
        at += kDesignatorHeader + length;
        if (at > end || association != kAssociationLogicalUnit || length == 0) continue;
        if (type == kNaa || type == kEui64) {
            std::string name = type == kNaa ? "naa." : "eui.";
            for (size_t i = 0; i < length; ++i) {
                constexpr char kDigits[] = "0123456789abcdef";
                name += kDigits[designator[i] >> 4];
                name += kDigits[designator[i] & 0x0F];
            }
            names.push_back(std::move(name));
        } else if (type == kScsiNameString) {
            // Null-terminated and padded with nulls to a multiple of four.
            const uint8_t* last = std::find(designator, designator + length, 0);
            if (std::all_of(designator, last, IsPrintable) && last != designator)
                names.emplace_back(designator, last);
        }
    }
    return names;
}

Capacity10 DecodeReadCapacity10(const uint8_t* data, size_t size)
{
    Capacity10 capacity;
    if (data == nullptr || size < 8) return capacity;
    capacity.lastLba = LoadBe32(data);
    capacity.blockLength = LoadBe32(data + 4);
    return capacity;
}

Capacity16 DecodeReadCapacity16(const uint8_t* data, size_t size)
{
    Capacity16 capacity;
    if (data == nullptr || size < kReadCapacity16Needed) return capacity;
    capacity.lastLba = LoadBe64(data);
    capacity.blockLength = LoadBe32(data + 8);
    return capacity;
}

