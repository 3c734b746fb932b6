#include "sim/bench_faults.h"

#include "sim/json_lines.h"

namespace {

using Json = nlohmann::json;

struct FaultActionName {
    const char* name;
    SimFault::Action action;
};

constexpr FaultActionName kFaultActions[] = {
    {"sense", SimFault::Action::Sense},         {"callFails", SimFault::Action::CallFails},
    {"hang", SimFault::Action::Hang},           {"status", SimFault::Action::Status},
    {"recovered", SimFault::Action::Recovered}, {"shortTransfer", SimFault::Action::ShortTransfer},
};

// The actions a field goes with, besides opcode, times and afterCommands
// that go with every one; null for those.
const char* ActionsOfField(const std::string& key)
{
    if (key == "senseKey") return "\"sense\"";
    if (key == "asc" || key == "ascq") return "\"sense\" or \"recovered\"";
    if (key == "status") return "\"status\"";
    if (key == "bytes") return "\"shortTransfer\" or \"recovered\"";
    if (key == "seconds") return "\"hang\"";
    return nullptr;
}

bool FieldFitsAction(const std::string& key, SimFault::Action action)
{
    using Action = SimFault::Action;
    if (key == "senseKey") return action == Action::Sense;
    if (key == "asc" || key == "ascq") return action == Action::Sense || action == Action::Recovered;
    if (key == "status") return action == Action::Status;
    if (key == "bytes") return action == Action::ShortTransfer || action == Action::Recovered;
    if (key == "seconds") return action == Action::Hang;
    return true;
}

bool ReadFaultAction(BenchReader& reader, const Json& fault, const std::string& path, SimFault& out)
{
    const auto action = fault.find("action");
    if (action == fault.end()) return true;
    const std::string name = action->is_string() ? action->get<std::string>() : std::string();
    for (const FaultActionName& known : kFaultActions) {
        if (name != known.name) continue;
        out.action = known.action;
        return true;
    }
    return reader.Fail(JsonLineMap::Child(path, "action"),
                       "\"action\" must be \"sense\", \"callFails\", \"hang\", \"status\", \"recovered\" or "
                       "\"shortTransfer\"");
}

bool ReadFault(BenchReader& reader, const Json& fault, const std::string& path, SimFault& out)
{
    if (!fault.is_object()) return reader.Fail(path, "each fault must be an object");
    if (!reader.CheckFields(fault, path,
                            {"action", "opcode", "senseKey", "asc", "ascq", "times", "afterCommands", "status",
                             "bytes", "seconds"}) ||
        !ReadFaultAction(reader, fault, path, out))
        return false;
    for (const auto& [key, value] : fault.items())
        if (!FieldFitsAction(key, out.action))
            return reader.Fail(JsonLineMap::Child(path, key),
                               "\"" + key + "\" goes only with \"action\": " + ActionsOfField(key));

    using Action = SimFault::Action;
    if (out.action == Action::Sense && (!reader.Require(fault, path, "senseKey") || !reader.Require(fault, path, "asc")))
        return false;
    if (out.action == Action::Recovered) {
        // RECOVERED DATA WITH RETRIES unless the bench says otherwise.
        out.asc = 0x17;
        out.ascq = 0x01;
    }
    if (out.action == Action::Status) {
        if (!reader.Require(fault, path, "status") || !reader.ReadByte(fault, path, "status", 0xFF, out.status))
            return false;
        if (out.status != kSimStatusBusy && out.status != kSimStatusReservationConflict &&
            out.status != kSimStatusTaskSetFull)
            return reader.Fail(JsonLineMap::Child(path, "status"),
                               "\"status\" must be BUSY (0x08), RESERVATION CONFLICT (0x18) or TASK SET FULL (0x28)");
    }
    if (out.action == Action::ShortTransfer && !reader.Require(fault, path, "bytes")) return false;
    if (fault.contains("bytes")) {
        uint32_t bytes = 0;
        if (!reader.ReadNumber(fault, path, "bytes", 0, 0xFFFFFFFFu, bytes)) return false;
        out.transferBytes = bytes;
    }
    if (fault.contains("seconds")) {
        uint32_t seconds = 0;
        if (!reader.ReadNumber(fault, path, "seconds", 0, 0xFFFFFFFFu, seconds)) return false;
        out.hangSeconds = seconds;
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

}  // namespace

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
