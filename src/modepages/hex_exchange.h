#pragma once

#include <cstdint>

#include "modepages/data_exchange.h"
#include "modepages/edit_field.h"

// A 64-bit value held as two 32-bit halves, high half first.
struct HexQword {
    uint32_t high = 0;
    uint32_t low = 0;

    // n from 1 to 31: the bits leaving the low half enter the high half.
    void ShiftLeft(int n);
    // No carry into the high half: used right after a shift that cleared
    // the bits it fills.
    void AddLow(uint32_t value) { low += value; }

    uint64_t Value() const { return (uint64_t{high} << 32) | low; }
    static HexQword From(uint64_t value)
    {
        return {static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value)};
    }
};

// The longest text a hexadecimal field takes (trailing blanks aside); the
// parsers refuse a longer one, leaving the held value as it was.
inline constexpr size_t kHexTextLimit = 18;

// A byte in hexadecimal: leading blanks skipped, nothing is 0, the number
// ends at the first blank; false (value untouched) on a non-digit or above FFh.
bool ParseHexByteText(const EditField& control, uint8_t& value);
// Up to maxDigits significant digits: leading blanks and zeros skipped; on
// a non-digit false with the digits so far held, on too many digits false
// with 0 held.
bool ParseHexText(const EditField& control, uint32_t& value, int maxDigits);
// As ParseHexText with 16 digits, on both halves.
bool ParseHexQwordText(const EditField& control, HexQword& value);

// The six exchange routines: to the control, the value in lower-case
// hexadecimal padded to the width's digits; from it, parsed and bounded,
// with the width's message on failure.
void DDX_HexNibble(CDataExchange& dx, int controlId, uint8_t& value);
void DDX_HexByte(CDataExchange& dx, int controlId, uint8_t& value);
void DDX_HexWord(CDataExchange& dx, int controlId, uint32_t& value);
void DDX_HexTriple(CDataExchange& dx, int controlId, uint32_t& value);
void DDX_HexDword(CDataExchange& dx, int controlId, uint32_t& value);
void DDX_HexQword(CDataExchange& dx, int controlId, HexQword& value);
