#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// How a field is shown and exchanged.
enum class FieldKind : uint8_t {
    Bit,      // check box
    Nibble,   // one hexadecimal digit, four bits of a byte
    Byte,     // two digits
    Word,     // four digits, two bytes
    Triple,   // six digits, three bytes
    Dword,    // eight digits, four bytes
    Qword,    // sixteen digits, eight bytes
    Decimal,  // a few bits of a byte as a decimal number with a range
};

// The three columns of every field.
enum class Column : uint8_t { Current = 0, Saved = 1, Default = 2 };
inline constexpr size_t kColumnCount = 3;

// One field of a mode page: where it lies in the page (page byte 0 is the
// page code byte; numbers are big-endian), how it is shown, and which
// control shows it in each column. Whether it may be edited follows the
// drive's changeable values of its own bits.
struct ModeField {
    const char* label;
    FieldKind kind;
    uint8_t byte;   // the first page byte
    uint8_t shift;  // Bit: its bit; Nibble, Decimal: the lowest bit
    std::array<int, kColumnCount> controls;  // Current, Saved, Default
    uint8_t decimalMax = 0;       // Decimal: the range is 0 to this
    bool zeroedOnSave = false;    // sent as 0 whatever the column holds

    // Bytes the field spans, and its mask within a byte (sub-byte kinds).
    size_t Width() const;
    uint8_t BitMask() const;
    // The digits its edit field shows (a bit: 1).
    int Digits() const;
};

// One page of the editor: its code, dialog, caption, button ids and fields.
struct ModePageTable {
    uint8_t code;             // the code it reads and writes (Power Condition: until found)
    uint8_t otherCode;        // a second code the drive may report it under; equal to code if none
    int dialogId;
    const char* caption;      // the tab's text
    const char* className;
    std::array<int, 3> buttons;  // "Save Saveable", "Save Current", "Refresh"
    bool defaultsFromSheet;   // Default column only from the sheet's all-pages reply
    bool relabelsSheet;       // first shown: the sheet's OK becomes "Exit"
    std::span<const ModeField> fields;
};

inline constexpr const char* kSaveSaveableText = "Save Saveable";
inline constexpr const char* kSaveCurrentText = "Save Current";
inline constexpr const char* kRefreshText = "Refresh";
