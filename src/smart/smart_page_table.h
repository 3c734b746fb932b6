#pragma once

#include <cstdint>
#include <span>

// The pages of the "Smart Data" sheet. Each page is its table: dialog id,
// caption, and per field the label, the control id and which parameter
// bytes feed it. Parameter byte numbers count from the parameter's byte 0
// (bytes 0-1 code, 2 control byte, 3 length, values from byte 4).

enum class SmartFormat {
    Unsigned,      // "%u"
    Signed,        // "%d"
    UnsignedLong,  // "%lu"
    HexByte,       // "%02Xh"
};

struct SmartFieldSpec {
    const char* label;
    const char* key;    // the field's name in machine-readable output
    int controlId;
    uint8_t firstByte;  // 0: the field is never filled
    uint8_t byteCount;  // 1, 2 or 4 bytes, big-endian
    uint32_t divisor;   // integer division; 1 shows the value as read
    SmartFormat format;
};

inline constexpr uint16_t kNoParameterCode = 0xFFFF;

struct SmartPageSpec {
    const char* className;
    const char* key;  // the page's name in machine-readable output
    int dialogId;
    const char* caption;
    uint16_t parameterCode;  // in the attribute page 30h; kNoParameterCode for the status page
    bool shownFromAttributes;  // the sheet builder adds it when it meets the code
    std::span<const SmartFieldSpec> fields;
};

// All eight pages, in the order the sheet constructs them.
std::span<const SmartPageSpec> SmartPageSpecs();

// The status page (log page 2Fh).
const SmartPageSpec& SmartStatusPageSpec();

// The page the sheet shows for an attribute parameter code; null for codes
// it skips (0037h and 0043h among them).
const SmartPageSpec* FindSmartAttributePage(uint16_t parameterCode);

// The page by its class name; null when none.
const SmartPageSpec* FindSmartPage(const char* className);
