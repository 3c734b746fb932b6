#include "sim/bench_loader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/regular_file.h"
#include "sim/bench_media.h"
#include "sim/bench_microcode.h"
#include "sim/bench_mode_pages.h"
#include "sim/bench_reader.h"
#include "sim/bench_selftest.h"
#include "sim/bench_smart.h"
#include "sim/json_lines.h"

namespace {

using Json = nlohmann::json;

// Keeps where and why the parser stopped; JSON errors never throw here.
class SyntaxErrorCatcher final : public nlohmann::json_sax<Json> {
public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override
    {
        failed = true;
        this->position = position;
        what = ex.what();
        return false;
    }

    bool failed = false;
    std::size_t position = 0;
    std::string what;
};

// The parser's own words without its prefix ("[json.exception...] parse
// error at line 3, column 5: ").
std::string SyntaxMessage(const std::string& what)
{
    const size_t column = what.find("column ");
    const size_t colon = column == std::string::npos ? std::string::npos : what.find(": ", column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

// The parser counts the character it stopped at in its position; that
// character's line is where the problem is.
int LineAtPosition(std::string_view text, size_t position)
{
    const size_t end = std::min(position > 0 ? position - 1 : 0, text.size());
    int line = 1;
    for (size_t i = 0; i < end; ++i)
        if (text[i] == '\n') ++line;
    return line;
}

bool ReadAdapter(BenchReader& reader, const Json& root, AdapterCapabilities& caps)
{
    if (!reader.IsObject(root, "", "adapter")) return false;
    const auto found = root.find("adapter");
    if (found == root.end()) return true;
    const Json& adapter = *found;
    const std::string path = JsonLineMap::Child("", "adapter");
    bool taggedQueuing = caps.taggedQueuing != 0;
    bool scansDown = caps.adapterScansDown != 0;
    bool usesPio = caps.adapterUsesPio != 0;
    const bool ok =
        reader.CheckFields(adapter, path,
                           {"maximumTransferLength", "maximumPhysicalPages", "supportedAsynchronousEvents",
                            "alignmentMask", "taggedQueuing", "adapterScansDown", "adapterUsesPio"}) &&
        reader.ReadNumber(adapter, path, "maximumTransferLength", 0, 0xFFFFFFFFu, caps.maximumTransferLength) &&
        reader.ReadNumber(adapter, path, "maximumPhysicalPages", 0, 0xFFFFFFFFu, caps.maximumPhysicalPages) &&
        reader.ReadNumber(adapter, path, "supportedAsynchronousEvents", 0, 0xFFFFFFFFu,
                          caps.supportedAsynchronousEvents) &&
        reader.ReadNumber(adapter, path, "alignmentMask", 0, 0xFFFFFFFFu, caps.alignmentMask) &&
        reader.ReadBool(adapter, path, "taggedQueuing", taggedQueuing) &&
        reader.ReadBool(adapter, path, "adapterScansDown", scansDown) &&
        reader.ReadBool(adapter, path, "adapterUsesPio", usesPio);
    caps.taggedQueuing = taggedQueuing;
    caps.adapterScansDown = scansDown;
    caps.adapterUsesPio = usesPio;
    return ok;
}

bool ReadCapabilities(BenchReader& reader, const Json& device, const std::string& devicePath, SimCapabilityBits& bits)
{
    if (!reader.IsObject(device, devicePath, "capabilities")) return false;
    const auto found = device.find("capabilities");
    if (found == device.end()) return true;
    const std::string path = JsonLineMap::Child(devicePath, "capabilities");
    return reader.CheckFields(*found, path,
                              {"relAdr", "wbus32", "wbus16", "sync", "linked", "tranDis", "cmdQue", "sftRe", "addr32",
                               "addr16", "aerc", "trmIop"}) &&
           reader.ReadBool(*found, path, "relAdr", bits.relAdr) &&
           reader.ReadBool(*found, path, "wbus32", bits.wbus32) &&
           reader.ReadBool(*found, path, "wbus16", bits.wbus16) && reader.ReadBool(*found, path, "sync", bits.sync) &&
           reader.ReadBool(*found, path, "linked", bits.linked) &&
           reader.ReadBool(*found, path, "tranDis", bits.tranDis) &&
           reader.ReadBool(*found, path, "cmdQue", bits.cmdQue) &&
           reader.ReadBool(*found, path, "sftRe", bits.sftRe) &&
           reader.ReadBool(*found, path, "addr32", bits.addr32) &&
           reader.ReadBool(*found, path, "addr16", bits.addr16) && reader.ReadBool(*found, path, "aerc", bits.aerc) &&
           reader.ReadBool(*found, path, "trmIop", bits.trmIop);
}

bool ReadFault(BenchReader& reader, const Json& fault, const std::string& path, SimFault& out)
{
    if (!fault.is_object()) return reader.Fail(path, "each fault must be an object");
    if (!reader.CheckFields(fault, path, {"action", "opcode", "senseKey", "asc", "ascq", "times", "afterCommands"}))
        return false;

    const auto action = fault.find("action");
    if (action != fault.end()) {
        const std::string name = action->is_string() ? action->get<std::string>() : std::string();
        if (name == "sense")
            out.action = SimFault::Action::Sense;
        else if (name == "callFails")
            out.action = SimFault::Action::CallFails;
        else if (name == "hang")
            out.action = SimFault::Action::Hang;
        else
            return reader.Fail(JsonLineMap::Child(path, "action"),
                               "\"action\" must be \"sense\", \"callFails\" or \"hang\"");
    }
    if (out.action == SimFault::Action::Sense) {
        if (!reader.Require(fault, path, "senseKey") || !reader.Require(fault, path, "asc")) return false;
    } else {
        for (const char* key : {"senseKey", "asc", "ascq"})
            if (fault.contains(key))
                return reader.Fail(JsonLineMap::Child(path, key),
                                   "\"" + std::string(key) + "\" goes only with \"action\": \"sense\"");
    }
    if (fault.contains("opcode")) {
        uint8_t opcode = 0;
        if (!reader.ReadByte(fault, path, "opcode", 0xFF, opcode)) return false;
        out.opcode = opcode;
    }
    if (fault.contains("times")) {
        uint32_t times = 0;
        if (!reader.ReadNumber(fault, path, "times", 1, 0xFFFFFFFFu, times)) return false;
        out.times = times;
    }
    return reader.ReadByte(fault, path, "senseKey", 0x0F, out.senseKey) &&
           reader.ReadByte(fault, path, "asc", 0xFF, out.asc) && reader.ReadByte(fault, path, "ascq", 0xFF, out.ascq) &&
           reader.ReadNumber(fault, path, "afterCommands", 0, uint64_t{1} << 63, out.afterCommands);
}

bool ReadFaults(BenchReader& reader, const Json& device, const std::string& devicePath, std::vector<SimFault>& out)
{
    if (!reader.IsList(device, devicePath, "faults")) return false;
    const auto found = device.find("faults");
    if (found == device.end()) return true;
    const std::string path = JsonLineMap::Child(devicePath, "faults");
    for (size_t i = 0; i < found->size(); ++i) {
        SimFault fault;
        if (!ReadFault(reader, (*found)[i], JsonLineMap::Child(path, i), fault)) return false;
        out.push_back(fault);
    }
    return true;
}

bool ReadCapacity(BenchReader& reader, const Json& device, const std::string& path, SimDriveConfig& drive)
{
    const bool hasBlocks = device.contains("blocks");
    const bool hasLastLba = device.contains("lastLba");
    if (hasBlocks && hasLastLba)
        return reader.Fail(JsonLineMap::Child(path, "lastLba"), "give \"blocks\" or \"lastLba\", not both");
    if (!hasBlocks && !hasLastLba) return reader.Fail(path, "missing required field \"blocks\" (or \"lastLba\")");
    if (hasBlocks) return reader.ReadNumber(device, path, "blocks", 1, uint64_t{1} << 63, drive.blocks);
    uint64_t lastLba = 0;
    if (!reader.ReadNumber(device, path, "lastLba", 0, (uint64_t{1} << 63) - 1, lastLba)) return false;
    drive.blocks = lastLba + 1;
    return true;
}

bool ReadDevice(BenchReader& reader, const Json& device, const std::string& path, uint8_t buses, BenchDevice& out)
{
    if (!device.is_object()) return reader.Fail(path, "each device must be an object");
    SimDriveConfig& drive = out.drive;
    return reader.CheckFields(device, path,
                              {"driveNumber", "bus", "targetId", "lun", "inAdapterList", "claimed",
                               "adapterListError", "capabilitiesError", "deviceType", "peripheralQualifier",
                               "removable", "version", "vendor", "product", "revision", "serial", "capabilities",
                               "blocks", "lastLba", "blockLength", "unitAttention", "descriptorSense", "stopped",
                               "notReadyCommands", "faults", "modePages", "selfTest", "geometry", "logs", "buffer", "microcode",
                               "unreadableBlocks", "mediaRate", "latencyMicroseconds", "defects"}) &&
           reader.Require(device, path, "bus") && reader.Require(device, path, "targetId") &&
           reader.Require(device, path, "vendor") && reader.Require(device, path, "product") &&
           reader.ReadNumber(device, path, "driveNumber", 0, kBenchMaxDriveNumber, out.driveNumber) &&
           reader.ReadNumber(device, path, "bus", 0, buses - 1u, out.bus) &&
           reader.ReadNumber(device, path, "targetId", 0, 255, out.targetId) &&
           reader.ReadNumber(device, path, "lun", 0, 255, out.lun) &&
           reader.ReadBool(device, path, "inAdapterList", out.inAdapterList) &&
           reader.ReadBool(device, path, "claimed", out.claimed) &&
           reader.ReadNumber(device, path, "adapterListError", 1, 4095, out.adapterListError) &&
           reader.ReadNumber(device, path, "capabilitiesError", 1, 4095, out.capabilitiesError) &&
           reader.ReadByte(device, path, "deviceType", 0x1F, drive.deviceType) &&
           reader.ReadNumber(device, path, "peripheralQualifier", 0, 7, drive.peripheralQualifier) &&
           reader.ReadBool(device, path, "removable", drive.removable) &&
           reader.ReadByte(device, path, "version", 0xFF, drive.version) &&
           reader.ReadText(device, path, "vendor", 8, drive.vendor) &&
           reader.ReadText(device, path, "product", 16, drive.product) &&
           reader.ReadText(device, path, "revision", 4, drive.revision) &&
           reader.ReadText(device, path, "serial", 8, drive.serial) &&
           ReadCapabilities(reader, device, path, drive.capabilities) && ReadCapacity(reader, device, path, drive) &&
           reader.ReadNumber(device, path, "blockLength", 512, 65535, drive.blockLength) &&
           reader.ReadBool(device, path, "unitAttention", drive.unitAttentionAtStart) &&
           reader.ReadBool(device, path, "descriptorSense", drive.descriptorSense) &&
           reader.ReadBool(device, path, "stopped", drive.stopped) &&
           reader.ReadNumber(device, path, "notReadyCommands", 0, 1000000, drive.notReadyCommands) &&
           ReadFaults(reader, device, path, drive.faults) && ReadModePages(reader, device, path, drive) &&
           ReadSelfTestSection(reader, device, path, drive) && ReadLogs(reader, device, path, drive) &&
           ReadBufferAndMicrocode(reader, device, path, drive) && ReadMediaSection(reader, device, path, drive);
}

bool ReadBench(BenchReader& reader, const Json& root, Bench& bench)
{
    if (!root.is_object()) return reader.Fail("", "a bench must be a JSON object");
    if (!reader.CheckFields(root, "", {"buses", "adapter", "devices"}) || !reader.Require(root, "", "buses") ||
        !reader.Require(root, "", "devices") || !reader.ReadNumber(root, "", "buses", 1, 8, bench.buses) ||
        !ReadAdapter(reader, root, bench.capabilities) || !reader.IsList(root, "", "devices"))
        return false;

    const Json& devices = *root.find("devices");
    const std::string listPath = JsonLineMap::Child("", "devices");
    std::map<uint32_t, int> numberLines;
    std::map<uint32_t, int> addressLines;
    for (size_t i = 0; i < devices.size(); ++i) {
        const std::string path = JsonLineMap::Child(listPath, i);
        // Beyond the last number no device could be named, and a default
        // number (its position) would be out of range.
        if (i > kBenchMaxDriveNumber)
            return reader.Fail(path, "more devices than drive numbers: a bench holds at most " +
                                         std::to_string(kBenchMaxDriveNumber + 1) + " (drive numbers 0 to " +
                                         std::to_string(kBenchMaxDriveNumber) + ")");
        BenchDevice device;
        device.driveNumber = static_cast<uint32_t>(i);
        if (!ReadDevice(reader, devices[i], path, bench.buses, device)) return false;

        const int line = reader.LineOf(path);
        const auto number = numberLines.emplace(device.driveNumber, line);
        if (!number.second)
            return reader.Fail(path, "drive number " + std::to_string(device.driveNumber) +
                                         " is already used on line " + std::to_string(number.first->second));
        const uint32_t address = (uint32_t{device.bus} << 16) | (uint32_t{device.targetId} << 8) | device.lun;
        const auto place = addressLines.emplace(address, line);
        if (!place.second)
            return reader.Fail(path, "bus " + std::to_string(device.bus) + " target id " +
                                         std::to_string(device.targetId) + " LUN " + std::to_string(device.lun) +
                                         " is already used on line " + std::to_string(place.first->second));
        bench.devices.push_back(std::move(device));
    }
    return true;
}

}  // namespace

bool LoadBench(std::string_view text, const std::string& sourceName, Bench& bench, std::string& error)
{
    const JsonLineMap lines = JsonLineMap::Scan(text, kBenchMaxDepth);
    if (lines.TooDeep()) {
        error = sourceName + ":" + std::to_string(lines.TooDeepLine()) + ": values nest deeper than " +
                std::to_string(kBenchMaxDepth) + " levels";
        return false;
    }
    const Json root = Json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded()) {
        SyntaxErrorCatcher catcher;
        Json::sax_parse(text.begin(), text.end(), &catcher);
        const int line = catcher.failed ? LineAtPosition(text, catcher.position) : 1;
        error = sourceName + ":" + std::to_string(line) +
                ": not valid JSON: " + (catcher.failed ? SyntaxMessage(catcher.what) : "unreadable text");
        return false;
    }
    if (lines.HasDuplicateKey()) {
        error = sourceName + ":" + std::to_string(lines.DuplicateKeyLine()) + ": \"" + lines.DuplicateKey() +
                "\" is given twice in one object";
        return false;
    }
    BenchReader reader(sourceName, lines);
    Bench loaded;
    if (!ReadBench(reader, root, loaded)) {
        error = reader.Error();
        return false;
    }
    bench = std::move(loaded);
    return true;
}

bool LoadBenchFile(const std::string& path, Bench& bench, std::string& error)
{
    const auto cannotRead = [&](const std::string& reason) {
        error = "cannot read bench file \"" + path + "\": " + reason;
        return false;
    };
    int errorCode = 0;
    const int descriptor = OpenRegularFile(path, errorCode);
    if (descriptor < 0) return cannotRead(OpenFailureReason(errorCode));
    std::string text;
    char chunk[65536];
    while (true) {
        const ssize_t count = ::read(descriptor, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            const int code = errno;
            ::close(descriptor);
            return cannotRead(std::error_code(code, std::generic_category()).message());
        }
        if (count == 0) break;
        text.append(chunk, static_cast<size_t>(count));
        if (text.size() > kBenchMaxFileSize) {
            ::close(descriptor);
            error = "bench file \"" + path + "\" is larger than 16 MiB";
            return false;
        }
    }
    ::close(descriptor);
    return LoadBench(text, path, bench, error);
}
