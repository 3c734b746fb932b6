#include "modepages/hex_exchange.h"

#include <optional>
#include <string>

#include "modepages/mode_strings.h"
#include "scsi/string_format.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The control's text without its trailing blanks; none when it is longer
// than a field takes. Reading only the start of a longer text would make
// another value of it.
std::optional<std::string> FieldText(const EditField& control)
{
    std::string text = control.Text();
    text.erase(text.find_last_not_of(' ') + 1);
    if (text.size() > kHexTextLimit) return std::nullopt;
    return text;
}

// Where the digits start once leading blanks (and, for the wide parsers,
// leading zeros) are passed.
size_t SkipLeading(const std::string& text, bool zerosToo)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (zerosToo && text[at] == '0'))) ++at;
    return at;
}

// Runs a routine's two directions; `toControl` formats, `fromControl`
// parses and returns false to fail with the message.
template <typename ToControl, typename FromControl>
void Exchange(CDataExchange& dx, int controlId, int messageId, ToControl toControl, FromControl fromControl)
{
    if (dx.Failed()) return;
    dx.SetLastControl(controlId);
    EditField* edit = dx.Controls().Edit(controlId);
    if (!edit) return;
    if (!dx.SaveAndValidate()) {
        edit->SetText(toControl());
        return;
    }
    if (!fromControl(*edit)) dx.Fail(controlId, LoadModeString(messageId));
}

}  // namespace

void HexQword::ShiftLeft(int n)
{
    if (n <= 0 || n >= 32) return;
    high = (high << n) + (low >> (32 - n));
    low <<= n;
}

bool ParseHexByteText(const EditField& control, uint8_t& value)
{
    const std::optional<std::string> read = FieldText(control);
    if (!read) return false;
    const std::string& text = *read;
    size_t at = SkipLeading(text, false);
    unsigned number = 0;
    for (; at < text.size() && text[at] != ' '; ++at) {
        const int digit = HexDigit(text[at]);
        if (digit < 0) return false;
        number = number * 16 + static_cast<unsigned>(digit);
        if (number > 0xFF) return false;
    }
    value = static_cast<uint8_t>(number);
    return true;
}

bool ParseHexText(const EditField& control, uint32_t& value, int maxDigits)
{
    const std::optional<std::string> read = FieldText(control);
    if (!read) return false;
    const std::string& text = *read;
    size_t at = SkipLeading(text, true);
    value = 0;
    int digits = 0;
    for (; at < text.size() && text[at] != ' '; ++at) {
        const int digit = HexDigit(text[at]);
        if (digit < 0) return false;
        value = value * 16 + static_cast<uint32_t>(digit);
        ++digits;
    }
    if (digits <= maxDigits) return true;
    value = 0;
    return false;
}

bool ParseHexQwordText(const EditField& control, HexQword& value)
{
    const std::optional<std::string> read = FieldText(control);
    if (!read) return false;
    const std::string& text = *read;
    value = {};
    size_t at = SkipLeading(text, true);
    int digits = 0;
    for (; at < text.size() && text[at] != ' '; ++at) {
        const int digit = HexDigit(text[at]);
        if (digit < 0) return false;
        value.ShiftLeft(4);
        value.AddLow(static_cast<uint32_t>(digit));
        ++digits;
    }
    if (digits <= 16) return true;
    value = {};
    return false;
}

void DDX_HexNibble(CDataExchange& dx, int controlId, uint8_t& value)
{
    Exchange(
        dx, controlId, kIdsNibbleRange, [&] { return StringPrintf("%01x", value); },
        [&](const EditField& edit) {
            uint8_t parsed = 0;
            if (!ParseHexByteText(edit, parsed) || parsed > 0x0F) return false;
            value = parsed;
            return true;
        });
}

void DDX_HexByte(CDataExchange& dx, int controlId, uint8_t& value)
{
    Exchange(
        dx, controlId, kIdsByteRange, [&] { return StringPrintf("%02x", value); },
        [&](const EditField& edit) { return ParseHexByteText(edit, value); });
}

void DDX_HexWord(CDataExchange& dx, int controlId, uint32_t& value)
{
    Exchange(
        dx, controlId, kIdsWordRange, [&] { return StringPrintf("%04x", value); },
        [&](const EditField& edit) { return ParseHexText(edit, value, 4); });
}

void DDX_HexTriple(CDataExchange& dx, int controlId, uint32_t& value)
{
    Exchange(
        dx, controlId, kIdsTripleRange, [&] { return StringPrintf("%06x", value); },
        [&](const EditField& edit) { return ParseHexText(edit, value, 6); });
}

void DDX_HexDword(CDataExchange& dx, int controlId, uint32_t& value)
{
    Exchange(
        dx, controlId, kIdsDwordRange, [&] { return StringPrintf("%08x", value); },
        [&](const EditField& edit) { return ParseHexText(edit, value, 8); });
}

void DDX_HexQword(CDataExchange& dx, int controlId, HexQword& value)
{
    Exchange(
        dx, controlId, kIdsQwordRange, [&] { return StringPrintf("%08x%08x", value.high, value.low); },
        [&](const EditField& edit) { return ParseHexQwordText(edit, value); });
}

const char* LoadModeString(int id)
{
    switch (id) {
    case kIdsNibbleRange: return "Enter a nibble value, 0 to F";
    case kIdsByteRange: return "Enter a hex value from 0 to FF";
    case kIdsWordRange: return "Enter a hex value from 0 to ffff";
    case kIdsTripleRange: return "Enter up to three bytes of hex data, 0 to FFFFFF";
    case kIdsDwordRange: return "Enter up to two words of hex data, 0 to FFFFFFFF";
    case kIdsQwordRange: return "Enter a hex value from 0 to ffffffffffffffff (16 hex digits)";
    default: return "";
    }
}
