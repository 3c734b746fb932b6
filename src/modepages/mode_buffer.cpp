#include "modepages/mode_buffer.h"

#include "scsi/byte_order.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderLength = 4;

// Page byte `pageByte` when the buffer holds it inside the page, else null.
const uint8_t* PageByte(const uint8_t* buffer, const PageSpan& page, size_t pageByte)
{
    return pageByte < page.available ? buffer + page.offset + pageByte : nullptr;
}

// The mode data length counts the bytes after itself.
size_t DataEnd(const ModeBuffer& buffer)
{
    return std::min<size_t>(size_t{buffer[0]} + 1, buffer.size());
}

// A page's bytes end at its page length, the mode data and the buffer,
// whichever comes first.
PageSpan SpanAt(const ModeBuffer& buffer, size_t offset)
{
    PageSpan span;
    span.code = buffer[offset] & kPageCodeMask;
    span.offset = offset;
    const size_t length = 2u + buffer[offset + 1];
    const size_t end = DataEnd(buffer);
    span.available = end > offset ? std::min(length, end - offset) : 0;
    span.whole = span.available == length;
    return span;
}

}  // namespace

size_t ModeField::Width() const
{
    switch (kind) {
    case FieldKind::Word: return 2;
    case FieldKind::Triple: return 3;
    case FieldKind::Dword: return 4;
    case FieldKind::Qword: return 8;
    default: return 1;
    }
}

int ModeField::Digits() const
{
    switch (kind) {
    case FieldKind::Byte: return 2;
    case FieldKind::Word: return 4;
    case FieldKind::Triple: return 6;
    case FieldKind::Dword: return 8;
    case FieldKind::Qword: return 16;
    case FieldKind::Decimal: return decimalMax < 10 ? 1 : decimalMax < 100 ? 2 : 3;
    default: return 1;
    }
}

uint8_t ModeField::BitMask() const
{
    switch (kind) {
    case FieldKind::Bit: return static_cast<uint8_t>(1u << shift);
    case FieldKind::Nibble: return static_cast<uint8_t>(0x0Fu << shift);
    case FieldKind::Decimal: {
        unsigned bits = 1;
        while ((1u << bits) <= decimalMax) ++bits;
        return static_cast<uint8_t>(((1u << bits) - 1) << shift);
    }
    default: return 0xFF;
    }
}

std::optional<PageSpan> LocatePage(const ModeBuffer& buffer, uint8_t expectedCode)
{
    const size_t offset = kHeaderLength + buffer[3];
    if (offset + 2 > DataEnd(buffer)) return std::nullopt;
    const PageSpan span = SpanAt(buffer, offset);
    if (span.code != (expectedCode & kPageCodeMask)) return std::nullopt;
    if (!span.whole) return std::nullopt;
    return span;
}

std::vector<PageSpan> WalkModePages(const ModeBuffer& buffer)
{
    std::vector<PageSpan> pages;
    // The data of the first page begins two bytes after its header; every
    // step moves on by at least those two bytes.
    size_t data = kHeaderLength + buffer[3] + 2;
    while (data < DataEnd(buffer)) {
        pages.push_back(SpanAt(buffer, data - 2));
        data += buffer[data - 1] + 2u;
    }
    return pages;
}

uint64_t ReadField(const uint8_t* buffer, const PageSpan& page, const ModeField& field)
{
    // Callers read whole pages; a byte outside the page reads as zero.
    uint8_t bytes[8] = {};
    const size_t width = std::min<size_t>(field.Width(), sizeof bytes);
    for (size_t i = 0; i < width; ++i) {
        const uint8_t* at = PageByte(buffer, page, field.byte + i);
        if (at) bytes[i] = *at;
    }
    uint64_t value = LoadBigEndian(bytes, width);
    const uint8_t mask = field.BitMask();
    if (mask != 0xFF) value = (value & mask) >> field.shift;
    return value;
}

void WriteField(uint8_t* buffer, const PageSpan& page, const ModeField& field, uint64_t value)
{
    uint8_t bytes[8] = {};
    const size_t width = std::min<size_t>(field.Width(), sizeof bytes);
    StoreBigEndian(bytes, value, width);
    const uint8_t mask = field.BitMask();
    for (size_t i = 0; i < width; ++i) {
        const size_t pageByte = field.byte + i;
        if (pageByte >= page.available) return;
        uint8_t& at = buffer[page.offset + pageByte];
        at = mask != 0xFF ? static_cast<uint8_t>((at & ~mask) | ((value << field.shift) & mask)) : bytes[i];
    }
}

bool FieldUnchangeable(const uint8_t* buffer, const PageSpan& page, const ModeField& field)
{
    return ReadField(buffer, page, field) == 0;
}
