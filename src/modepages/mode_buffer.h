#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "modepages/mode_page_table.h"

// A MODE SENSE(6) reply or MODE SELECT(6) parameter list: the 4-byte
// header (mode data length, medium type, device-specific parameter, block
// descriptor length), block descriptors, then pages (SPC-4 7.5).
inline constexpr size_t kModeBufferSize = 255;
using ModeBuffer = std::array<uint8_t, kModeBufferSize>;

inline constexpr uint8_t kPageCodeMask = 0x3F;

// One page inside a buffer: where its byte 0 lies and how many of its
// bytes (header included) the buffer holds, never past the buffer's end.
struct PageSpan {
    uint8_t code = 0;
    size_t offset = 0;
    size_t available = 0;
    bool whole = false;  // every byte its page length names arrived
};

// The page that a one-page reply holds: the first one after the header
// and any block descriptor (a drive may send one despite DBD). None when
// it carries another page code or did not arrive whole: a field the drive
// did not send is never taken for zero.
std::optional<PageSpan> LocatePage(const ModeBuffer& buffer, uint8_t expectedCode);

// Every page of an all-pages reply in the drive's order, within the mode
// data length and the buffer.
std::vector<PageSpan> WalkModePages(const ModeBuffer& buffer);

// A field's value from its page; parts outside the page read as 0.
uint64_t ReadField(const uint8_t* buffer, const PageSpan& page, const ModeField& field);
// Puts a value into the field's bytes or bits, leaving the other bits of
// shared bytes as they were; parts outside the page are not written.
void WriteField(uint8_t* buffer, const PageSpan& page, const ModeField& field, uint64_t value);
// True when the changeable values under the field are all zero.
bool FieldUnchangeable(const uint8_t* buffer, const PageSpan& page, const ModeField& field);
