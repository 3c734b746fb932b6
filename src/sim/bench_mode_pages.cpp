#include "sim/bench_mode_pages.h"

#include <cctype>
#include <sstream>

namespace {

using Json = BenchReader::Json;

// A page code as a number or as hexadecimal text ("0x1C").
bool ParsePageCode(const Json& value, uint8_t& code)
{
    unsigned number = 0;
    if (value.is_number_unsigned() || (value.is_number_integer() && value.get<int64_t>() >= 0)) {
        if (value.get<uint64_t>() > 0x3E) return false;
        code = static_cast<uint8_t>(value.get<uint64_t>());
        return true;
    }
    if (!value.is_string()) return false;
    const std::string& text = value.get_ref<const std::string&>();
    if (text.size() < 3 || text.size() > 4 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    for (size_t i = 2; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    number = static_cast<unsigned>(std::stoul(text.substr(2), nullptr, 16));
    if (number > 0x3E) return false;
    code = static_cast<uint8_t>(number);
    return true;
}

// Bytes as pairs of hexadecimal digits separated by blanks: "04 00 ff ff".
bool ParseHexBytes(const Json& value, std::vector<uint8_t>& bytes)
{
    if (!value.is_string()) return false;
    std::istringstream words(value.get<std::string>());
    std::string word;
    bytes.clear();
    while (words >> word) {
        if (word.size() != 2 || !std::isxdigit(static_cast<unsigned char>(word[0])) ||
            !std::isxdigit(static_cast<unsigned char>(word[1])))
            return false;
        bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return true;
}

bool ReadPageList(BenchReader& reader, const Json& modePages, const std::string& path, SimModePagesConfig& out)
{
    if (!reader.IsList(modePages, path, "pages")) return false;
    const auto found = modePages.find("pages");
    if (found == modePages.end()) return true;
    const std::string listPath = JsonLineMap::Child(path, "pages");
    std::vector<uint8_t> codes;
    for (size_t i = 0; i < found->size(); ++i) {
        uint8_t code = 0;
        if (!ParsePageCode((*found)[i], code))
            return reader.Fail(JsonLineMap::Child(listPath, i),
                               "a page code must be a number from 0 to 62 or text such as \"0x1C\"");
        codes.push_back(code);
    }
    out.pages = std::move(codes);
    return true;
}

bool ReadPageValues(BenchReader& reader, const Json& values, const std::string& path, SimModePageOverride& out)
{
    if (!values.is_object()) return reader.Fail(path, "the values of a page must be an object");
    if (!reader.CheckFields(values, path, {"current", "changeable", "default", "saved"})) return false;
    const std::pair<const char*, std::optional<std::vector<uint8_t>>*> sets[] = {
        {"current", &out.current}, {"changeable", &out.changeable}, {"default", &out.defaults}, {"saved", &out.saved}};
    for (const auto& [key, target] : sets) {
        const auto found = values.find(key);
        if (found == values.end()) continue;
        std::vector<uint8_t> bytes;
        if (!ParseHexBytes(*found, bytes))
            return reader.Fail(JsonLineMap::Child(path, key),
                               "\"" + std::string(key) +
                                   "\" must be the page's bytes from byte 2 on, as hex pairs such as \"04 00 ff\"");
        *target = std::move(bytes);
    }
    return true;
}

bool ReadValues(BenchReader& reader, const Json& modePages, const std::string& path, SimModePagesConfig& out)
{
    if (!reader.IsObject(modePages, path, "values")) return false;
    const auto found = modePages.find("values");
    if (found == modePages.end()) return true;
    const std::string valuesPath = JsonLineMap::Child(path, "values");
    for (const auto& item : found->items()) {
        const std::string pagePath = JsonLineMap::Child(valuesPath, item.key());
        uint8_t code = 0;
        if (!ParsePageCode(Json(item.key()), code))
            return reader.Fail(pagePath, "\"" + item.key() + "\" is not a page code such as \"0x08\"");
        if (!ReadPageValues(reader, item.value(), pagePath, out.values[code])) return false;
    }
    return true;
}

}  // namespace

bool ReadModePages(BenchReader& reader, const Json& device, const std::string& devicePath, SimDriveConfig& drive)
{
    if (!reader.IsObject(device, devicePath, "modePages")) return false;
    const auto found = device.find("modePages");
    if (found == device.end()) return true;
    const std::string path = JsonLineMap::Child(devicePath, "modePages");
    SimModePagesConfig& config = drive.modePages;
    if (!reader.CheckFields(*found, path, {"pages", "saveable", "strictSelect", "values"}) ||
        !ReadPageList(reader, *found, path, config) || !reader.ReadBool(*found, path, "saveable", config.saveable) ||
        !reader.ReadBool(*found, path, "strictSelect", config.strictSelect) ||
        !ReadValues(reader, *found, path, config))
        return false;
    std::string problem;
    if (!SimModePages::Check(config, drive.blocks, drive.blockLength, problem)) return reader.Fail(path, problem);
    return true;
}
