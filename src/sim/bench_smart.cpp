#include "sim/bench_smart.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <sstream>

#include "scsi/string_format.h"

namespace {

using Json = BenchReader::Json;

constexpr std::array kKeepablePages{kSimLogWriteErrors,    kSimLogReadErrors,
                                    kSimLogVerifyErrors,   kSimLogNonMediumErrors,
                                    kSimLogTemperature,    kSimLogInformationalExceptions,
                                    kSimLogAttributes};

struct CounterPageName {
    const char* name;
    uint8_t page;
};
constexpr std::array kCounterPageNames{
    CounterPageName{"write", kSimLogWriteErrors},
    CounterPageName{"read", kSimLogReadErrors},
    CounterPageName{"verify", kSimLogVerifyErrors},
    CounterPageName{"nonMedium", kSimLogNonMediumErrors},
};

constexpr size_t kMaxParameterValue = 255;
constexpr size_t kAttributeTrio = 3;  // normalized, worst, threshold

// "0x1C"-style text of one to `digits` hexadecimal digits.
bool ParseHexText(const std::string& text, size_t digits, unsigned& value)
{
    if (text.size() < 3 || text.size() > 2 + digits || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    for (size_t i = 2; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    value = static_cast<unsigned>(std::stoul(text.substr(2), nullptr, 16));
    return true;
}

// A code as a number or as hexadecimal text, at most `max`.
bool ParseCode(const Json& value, unsigned max, unsigned& code)
{
    if (value.is_number_unsigned() || (value.is_number_integer() && value.get<int64_t>() >= 0)) {
        if (value.get<uint64_t>() > max) return false;
        code = static_cast<unsigned>(value.get<uint64_t>());
        return true;
    }
    return value.is_string() && ParseHexText(value.get<std::string>(), 4, code) && code <= max;
}

// Bytes as pairs of hexadecimal digits separated by blanks: "00 2c 01".
bool ParseHexBytes(const Json& value, size_t maxCount, std::vector<uint8_t>& bytes)
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
    return bytes.size() <= maxCount;
}

bool ReadPpc(BenchReader& reader, const Json& logs, const std::string& path, SimLogConfig& out)
{
    const auto found = logs.find("ppc");
    if (found == logs.end()) return true;
    const std::string name = found->is_string() ? found->get<std::string>() : std::string();
    if (name == "supported")
        out.ppc = SimPpc::Supported;
    else if (name == "rejected")
        out.ppc = SimPpc::Rejected;
    else if (name == "ignored")
        out.ppc = SimPpc::Ignored;
    else
        return reader.Fail(JsonLineMap::Child(path, "ppc"), "\"ppc\" must be \"supported\", \"rejected\" or \"ignored\"");
    return true;
}

bool ReadPages(BenchReader& reader, const Json& logs, const std::string& path, SimLogConfig& out)
{
    if (!reader.IsList(logs, path, "pages")) return false;
    const auto found = logs.find("pages");
    if (found == logs.end()) return true;
    const std::string listPath = JsonLineMap::Child(path, "pages");
    std::vector<uint8_t> pages;
    for (size_t i = 0; i < found->size(); ++i) {
        const std::string itemPath = JsonLineMap::Child(listPath, i);
        unsigned code = 0;
        if (!ParseCode((*found)[i], 0x3F, code))
            return reader.Fail(itemPath, "a log page code must be a number from 0 to 63 or text such as \"0x2F\"");
        const uint8_t page = static_cast<uint8_t>(code);
        if (page == kSimLogSupportedPages) return reader.Fail(itemPath, "page 00h is always kept; leave it out");
        if (page == kSimLogSelfTestResults)
            return reader.Fail(itemPath, "page 10h is kept when the drive keeps a self-test log; leave it out");
        if (std::find(kKeepablePages.begin(), kKeepablePages.end(), page) == kKeepablePages.end())
            return reader.Fail(itemPath, StringPrintf("log page %02Xh is not one the simulated drive keeps (02h, "
                                                      "03h, 05h, 06h, 0Dh, 2Fh, 30h)",
                                                      code));
        if (std::find(pages.begin(), pages.end(), page) != pages.end())
            return reader.Fail(itemPath, StringPrintf("log page %02Xh is listed twice", code));
        pages.push_back(page);
    }
    out.pages = std::move(pages);
    return true;
}

bool ReadCounterPage(BenchReader& reader, const Json& values, const std::string& path, uint8_t page,
                     SimLogConfig& out)
{
    if (!values.is_object()) return reader.Fail(path, "counters must be an object of \"0xCODE\": value");
    if (!out.Keeps(page)) return reader.Fail(path, StringPrintf("log page %02Xh is not in \"pages\"", page));
    const std::vector<uint16_t> standard = StandardCounterCodes(page);
    for (const auto& item : values.items()) {
        const std::string itemPath = JsonLineMap::Child(path, item.key());
        unsigned code = 0;
        if (!ParseHexText(item.key(), 4, code))
            return reader.Fail(itemPath, "a counter's parameter code must be text such as \"0x0006\"");
        const bool isStandard = std::find(standard.begin(), standard.end(), code) != standard.end();
        const bool isVendor = code >= 0x8000 && !(page == kSimLogNonMediumErrors && code == kSimSmartKeyParameter);
        if (!isStandard && !isVendor)
            return reader.Fail(itemPath, StringPrintf("page %02Xh has no counter %04Xh (standard codes, or vendor "
                                                      "codes 8000h and up)",
                                                      page, code));
        uint64_t value = 0;
        if (!reader.ReadUnsigned(values, path, item.key().c_str(), 0, std::numeric_limits<uint64_t>::max(), value))
            return false;
        out.counters[page][static_cast<uint16_t>(code)] = value;
    }
    return true;
}

bool ReadErrorCounters(BenchReader& reader, const Json& logs, const std::string& path, SimLogConfig& out)
{
    if (!reader.IsObject(logs, path, "errorCounters")) return false;
    const auto found = logs.find("errorCounters");
    if (found == logs.end()) return true;
    const std::string countersPath = JsonLineMap::Child(path, "errorCounters");
    if (!reader.CheckFields(*found, countersPath, {"write", "read", "verify", "nonMedium"})) return false;
    for (const CounterPageName& name : kCounterPageNames) {
        const auto page = found->find(name.name);
        if (page == found->end()) continue;
        if (!ReadCounterPage(reader, *page, JsonLineMap::Child(countersPath, name.name), name.page, out)) return false;
    }
    return true;
}

bool ReadAttribute(BenchReader& reader, const Json& item, const std::string& path, uint8_t temperature,
                   SimAttribute& out)
{
    if (!item.is_object()) return reader.Fail(path, "each attribute must be an object");
    if (!reader.CheckFields(item, path, {"code", "normalized", "worst", "threshold", "data", "value"}) ||
        !reader.Require(item, path, "code"))
        return false;
    unsigned code = 0;
    if (!ParseCode(item["code"], 0xFFFF, code))
        return reader.Fail(JsonLineMap::Child(path, "code"),
                           "\"code\" must be a number from 0 to 65535 or text such as \"0x0117\"");
    out.code = static_cast<uint16_t>(code);

    if (item.contains("value")) {
        for (const char* key : {"normalized", "worst", "threshold", "data"})
            if (item.contains(key))
                return reader.Fail(JsonLineMap::Child(path, key),
                                   "give \"value\" or the attribute's fields, not both");
        if (!ParseHexBytes(item["value"], kMaxParameterValue, out.value))
            return reader.Fail(JsonLineMap::Child(path, "value"),
                               "\"value\" must be at most 255 bytes as hexadecimal pairs, such as \"64 64 24\"");
        return true;
    }
    // The drive model's layout for a code it knows, else the trio alone.
    std::vector<uint8_t> value(kAttributeTrio, 0);
    for (const SimAttribute& known : DefaultSimAttributes(temperature))
        if (known.code == out.code) value = known.value;
    if (!reader.ReadByte(item, path, "normalized", 0xFF, value[0]) ||
        !reader.ReadByte(item, path, "worst", 0xFF, value[1]) ||
        !reader.ReadByte(item, path, "threshold", 0xFF, value[2]))
        return false;
    if (item.contains("data")) {
        std::vector<uint8_t> data;
        if (!ParseHexBytes(item["data"], kMaxParameterValue - kAttributeTrio, data))
            return reader.Fail(JsonLineMap::Child(path, "data"),
                               "\"data\" must be at most 252 bytes as hexadecimal pairs, such as \"00 01 2c\"");
        value.resize(kAttributeTrio);
        value.insert(value.end(), data.begin(), data.end());
    }
    out.value = std::move(value);
    return true;
}

bool ReadAttributes(BenchReader& reader, const Json& logs, const std::string& path, SimLogConfig& out)
{
    if (!reader.IsList(logs, path, "attributes")) return false;
    const auto found = logs.find("attributes");
    if (found == logs.end()) return true;
    const std::string listPath = JsonLineMap::Child(path, "attributes");
    if (!out.Keeps(kSimLogAttributes)) return reader.Fail(listPath, "log page 30h is not in \"pages\"");
    std::vector<SimAttribute> attributes;
    for (size_t i = 0; i < found->size(); ++i) {
        SimAttribute attribute;
        if (!ReadAttribute(reader, (*found)[i], JsonLineMap::Child(listPath, i), out.temperature, attribute))
            return false;
        attributes.push_back(std::move(attribute));
    }
    out.attributes = std::move(attributes);
    return true;
}

}  // namespace

bool ReadLogs(BenchReader& reader, const Json& device, const std::string& devicePath, SimDriveConfig& drive)
{
    if (!reader.IsObject(device, devicePath, "logs")) return false;
    const auto found = device.find("logs");
    if (found == device.end()) return true;
    const Json& logs = *found;
    const std::string path = JsonLineMap::Child(devicePath, "logs");
    SimLogConfig& out = drive.logs;
    if (!reader.CheckFields(logs, path,
                            {"pages", "normalizedSmart", "errorCounters", "temperature", "tripTemperature",
                             "smartTrip", "attributes", "ppc"}) ||
        !ReadPages(reader, logs, path, out) || !ReadErrorCounters(reader, logs, path, out) ||
        !reader.ReadByte(logs, path, "temperature", 0xFF, out.temperature) ||
        !reader.ReadByte(logs, path, "tripTemperature", 0xFF, out.tripTemperature))
        return false;
    if (logs.contains("normalizedSmart")) {
        bool offers = false;
        if (!reader.ReadBool(logs, path, "normalizedSmart", offers)) return false;
        out.normalizedSmart = offers;
    }
    if (logs.contains("smartTrip")) {
        uint8_t ascq = 0;
        if (!reader.ReadByte(logs, path, "smartTrip", 0xFF, ascq)) return false;
        out.smartTripAscq = ascq;
    }
    return ReadPpc(reader, logs, path, out) && ReadAttributes(reader, logs, path, out);
}
