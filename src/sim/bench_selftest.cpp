#include "sim/bench_selftest.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "sim/json_lines.h"

namespace {

using Json = nlohmann::json;

constexpr uint32_t kMaxTestSeconds = 7 * 24 * 3600;
constexpr uint32_t kMaxCylinders = 0xFFFFFF;  // three bytes in physical sector format
constexpr uint32_t kMaxHeads = 255;           // one byte

// A block address as a number or as hexadecimal text ("0x12345").
bool ReadAddress(BenchReader& reader, const Json& object, const std::string& path, const char* key,
                 std::optional<uint64_t>& out)
{
    const auto found = object.find(key);
    if (found == object.end()) return true;
    constexpr uint64_t kMax = (uint64_t{1} << 63) - 1;
    if (found->is_string()) {
        const std::string& text = found->get_ref<const std::string&>();
        const bool hex = text.size() > 2 && text.size() <= 18 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
                         text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
        const uint64_t value = hex ? std::strtoull(text.c_str() + 2, nullptr, 16) : 0;
        if (hex && value <= kMax) {
            out = value;
            return true;
        }
        return reader.Fail(JsonLineMap::Child(path, key),
                           "\"" + std::string(key) + "\" must be a number from 0 to " + std::to_string(kMax) +
                               " or hexadecimal text such as \"0x12345\"");
    }
    uint64_t value = 0;
    if (!reader.ReadNumber(object, path, key, 0, kMax, value)) return false;
    out = value;
    return true;
}

bool ReadFailedTests(BenchReader& reader, const Json& failure, const std::string& path, SimSelfTestFailure& out)
{
    if (!reader.IsList(failure, path, "tests")) return false;
    const auto found = failure.find("tests");
    if (found == failure.end()) return true;
    const std::string listPath = JsonLineMap::Child(path, "tests");
    out.shortTest = out.extendedTest = out.defaultTest = false;
    for (size_t i = 0; i < found->size(); ++i) {
        const Json& name = (*found)[i];
        const std::string text = name.is_string() ? name.get<std::string>() : std::string();
        if (text == "short")
            out.shortTest = true;
        else if (text == "extended")
            out.extendedTest = true;
        else if (text == "default")
            out.defaultTest = true;
        else
            return reader.Fail(JsonLineMap::Child(listPath, i),
                               "each of \"tests\" must be \"short\", \"extended\" or \"default\"");
    }
    return true;
}

bool ReadFailure(BenchReader& reader, const Json& selfTest, const std::string& selfTestPath, SimSelfTestConfig& out)
{
    if (!reader.IsObject(selfTest, selfTestPath, "failure")) return false;
    const auto found = selfTest.find("failure");
    if (found == selfTest.end()) return true;
    const Json& failure = *found;
    const std::string path = JsonLineMap::Child(selfTestPath, "failure");
    SimSelfTestFailure read;
    if (!reader.CheckFields(failure, path,
                            {"result", "segment", "lba", "senseKey", "asc", "ascq", "vendor", "atPercent", "tests"}) ||
        !reader.ReadNumber(failure, path, "result", 3, 7, read.result))
        return false;
    if (failure.contains("segment")) {
        uint8_t segment = 0;
        if (!reader.ReadNumber(failure, path, "segment", 0, 255, segment)) return false;
        read.segment = segment;
    }
    if (!ReadAddress(reader, failure, path, "lba", read.lba) ||
        !reader.ReadByte(failure, path, "senseKey", 0x0F, read.senseKey) ||
        !reader.ReadByte(failure, path, "asc", 0xFF, read.asc) ||
        !reader.ReadByte(failure, path, "ascq", 0xFF, read.ascq) ||
        !reader.ReadByte(failure, path, "vendor", 0xFF, read.vendor) ||
        !reader.ReadNumber(failure, path, "atPercent", 0, 99, read.atPercent) ||
        !ReadFailedTests(reader, failure, path, read))
        return false;
    out.failure = read;
    return true;
}

// "refuse": the kinds of self-test the drive does not offer.
bool ReadRefused(BenchReader& reader, const Json& selfTest, const std::string& path, SimSelfTestConfig& out)
{
    if (!reader.IsList(selfTest, path, "refuse")) return false;
    const auto found = selfTest.find("refuse");
    if (found == selfTest.end()) return true;
    const std::string listPath = JsonLineMap::Child(path, "refuse");
    for (size_t i = 0; i < found->size(); ++i) {
        const Json& name = (*found)[i];
        const std::string text = name.is_string() ? name.get<std::string>() : std::string();
        if (text == "short")
            out.refusesShort = true;
        else if (text == "extended")
            out.refusesExtended = true;
        else
            return reader.Fail(JsonLineMap::Child(listPath, i), "each of \"refuse\" must be \"short\" or \"extended\"");
    }
    return true;
}

bool ReadTestKind(BenchReader& reader, const Json& entry, const std::string& path, uint8_t& code)
{
    static const std::pair<const char*, uint8_t> kKinds[] = {
        {"default", 0x0}, {"short", 0x1}, {"extended", 0x2}, {"foregroundShort", 0x5}, {"foregroundExtended", 0x6}};
    const auto found = entry.find("test");
    const std::string text = found != entry.end() && found->is_string() ? found->get<std::string>() : std::string();
    for (const auto& [name, value] : kKinds) {
        if (text != name) continue;
        code = value;
        return true;
    }
    return reader.Fail(JsonLineMap::Child(path, "test"),
                       "\"test\" must be \"default\", \"short\", \"extended\", \"foregroundShort\" or "
                       "\"foregroundExtended\"");
}

// "history": the results log's earlier entries, newest first; none of them
// newer than the drive's power-on hours, nor than the entry above it.
bool ReadHistory(BenchReader& reader, const Json& selfTest, const std::string& path, SimSelfTestConfig& out)
{
    if (!reader.IsList(selfTest, path, "history")) return false;
    const auto found = selfTest.find("history");
    if (found == selfTest.end()) return true;
    const std::string listPath = JsonLineMap::Child(path, "history");
    if (found->size() > 20) return reader.Fail(listPath, "\"history\" holds at most 20 entries");
    uint32_t newest = out.powerOnHours;
    for (size_t i = 0; i < found->size(); ++i) {
        const Json& item = (*found)[i];
        const std::string itemPath = JsonLineMap::Child(listPath, i);
        if (!item.is_object()) return reader.Fail(itemPath, "each of \"history\" must be an object");
        SimSelfTestLogEntry entry;
        entry.powerOnHours = newest;
        std::optional<uint64_t> lba;
        if (!reader.CheckFields(item, itemPath,
                                {"test", "result", "powerOnHours", "segment", "lba", "senseKey", "asc", "ascq",
                                 "vendor"}) ||
            !reader.Require(item, itemPath, "test") || !ReadTestKind(reader, item, itemPath, entry.code) ||
            !reader.ReadNumber(item, itemPath, "result", 0, 14, entry.result) ||
            !reader.ReadNumber(item, itemPath, "powerOnHours", 0, newest, entry.powerOnHours) ||
            !reader.ReadNumber(item, itemPath, "segment", 0, 255, entry.number) ||
            !ReadAddress(reader, item, itemPath, "lba", lba) ||
            !reader.ReadByte(item, itemPath, "senseKey", 0x0F, entry.senseKey) ||
            !reader.ReadByte(item, itemPath, "asc", 0xFF, entry.asc) ||
            !reader.ReadByte(item, itemPath, "ascq", 0xFF, entry.ascq) ||
            !reader.ReadByte(item, itemPath, "vendor", 0xFF, entry.vendor))
            return false;
        if (lba) entry.firstFailure = *lba;
        if (!item.contains("segment") && entry.result >= 5 && entry.result <= 7)
            entry.number = static_cast<uint8_t>(entry.result - 4);
        newest = entry.powerOnHours;
        out.history.push_back(entry);
    }
    return true;
}

bool ReadSelfTest(BenchReader& reader, const Json& device, const std::string& devicePath, SimSelfTestConfig& out)
{
    if (!reader.IsObject(device, devicePath, "selfTest")) return false;
    const auto found = device.find("selfTest");
    if (found == device.end()) return true;
    const Json& selfTest = *found;
    const std::string path = JsonLineMap::Child(devicePath, "selfTest");
    return reader.CheckFields(selfTest, path,
                              {"supported", "shortSeconds", "extendedSeconds", "powerOnHours", "failure", "refuse",
                               "history"}) &&
           reader.ReadBool(selfTest, path, "supported", out.supported) &&
           reader.ReadNumber(selfTest, path, "shortSeconds", 1, kMaxTestSeconds, out.shortSeconds) &&
           reader.ReadNumber(selfTest, path, "extendedSeconds", 1, kMaxTestSeconds, out.extendedSeconds) &&
           reader.ReadNumber(selfTest, path, "powerOnHours", 0, 1000000, out.powerOnHours) &&
           ReadFailure(reader, selfTest, path, out) && ReadRefused(reader, selfTest, path, out) &&
           ReadHistory(reader, selfTest, path, out);
}

bool ReadGeometry(BenchReader& reader, const Json& device, const std::string& devicePath, SimDriveConfig& drive)
{
    if (!reader.IsObject(device, devicePath, "geometry")) return false;
    const auto found = device.find("geometry");
    if (found == device.end()) return true;
    const Json& object = *found;
    const std::string path = JsonLineMap::Child(devicePath, "geometry");
    SimGeometry geometry;
    if (!reader.CheckFields(object, path, {"cylinders", "heads", "sectorsPerTrack"}) ||
        !reader.Require(object, path, "cylinders") || !reader.Require(object, path, "heads") ||
        !reader.Require(object, path, "sectorsPerTrack") ||
        !reader.ReadNumber(object, path, "cylinders", 1, kMaxCylinders, geometry.cylinders) ||
        !reader.ReadNumber(object, path, "heads", 1, kMaxHeads, geometry.heads) ||
        !reader.ReadNumber(object, path, "sectorsPerTrack", 1, 0xFFFFFFFFu, geometry.sectorsPerTrack))
        return false;
    // Every logical block needs a physical sector.
    if (geometry.Sectors() < drive.blocks)
        return reader.Fail(path, "the geometry holds " + std::to_string(geometry.Sectors()) +
                                     " sectors, fewer than the drive's " + std::to_string(drive.blocks) + " blocks");
    drive.geometry = geometry;
    return true;
}

}  // namespace

bool ReadSelfTestSection(BenchReader& reader, const Json& device, const std::string& path, SimDriveConfig& drive)
{
    return ReadSelfTest(reader, device, path, drive.selfTest) && ReadGeometry(reader, device, path, drive);
}
