#include "sim/bench_microcode.h"

#include "sim/json_lines.h"
#include "sim/sim_buffer.h"

namespace {

using Json = BenchReader::Json;

bool ReadSense(BenchReader& reader, const Json& object, const std::string& path, SimBufferSense& sense)
{
    return reader.Require(object, path, "senseKey") && reader.Require(object, path, "asc") &&
           reader.ReadByte(object, path, "senseKey", 0x0F, sense.senseKey) &&
           reader.ReadByte(object, path, "asc", 0xFF, sense.asc) && reader.ReadByte(object, path, "ascq", 0xFF, sense.ascq);
}

bool ReadStuckBit(BenchReader& reader, const Json& buffer, const std::string& bufferPath, SimBufferConfig& config)
{
    if (!reader.IsObject(buffer, bufferPath, "stuckBit")) return false;
    const auto found = buffer.find("stuckBit");
    if (found == buffer.end()) return true;
    const std::string path = JsonLineMap::Child(bufferPath, "stuckBit");
    uint32_t offset = 0;
    uint32_t value = 0;
    if (!reader.CheckFields(*found, path, {"offset", "bit", "value"}) || !reader.Require(*found, path, "offset") ||
        !reader.Require(*found, path, "bit") || !reader.Require(*found, path, "value") ||
        !reader.ReadNumber(*found, path, "offset", 0, config.capacity - 1u, offset) ||
        !reader.ReadNumber(*found, path, "bit", 0, 7, config.stuckBit) ||
        !reader.ReadNumber(*found, path, "value", 0, 1, value))
        return false;
    config.stuckOffset = offset;
    config.stuckValue = value != 0;
    return true;
}

bool ReadBuffer(BenchReader& reader, const Json& device, const std::string& devicePath, SimBufferConfig& config)
{
    if (!reader.IsObject(device, devicePath, "buffer")) return false;
    const auto found = device.find("buffer");
    if (found == device.end()) return true;
    const std::string path = JsonLineMap::Child(devicePath, "buffer");
    if (!reader.CheckFields(*found, path, {"capacity", "offsetBoundary", "stuckBit"}) ||
        !reader.ReadNumber(*found, path, "capacity", 1, kSimMaxBufferCapacity, config.capacity) ||
        !reader.ReadByte(*found, path, "offsetBoundary", 0xFF, config.offsetBoundary))
        return false;
    // 2^n with n up to 23 still leaves room for more than offset 0 in a
    // 24-bit field; FFh is the standard's "offset 0 only".
    if (config.offsetBoundary > 23 && config.offsetBoundary != 0xFF)
        return reader.Fail(JsonLineMap::Child(path, "offsetBoundary"),
                           "\"offsetBoundary\" must be a number from 0 to 23, or 255 (offset 0 only)");
    return ReadStuckBit(reader, *found, path, config);
}

bool ReadFailPiece(BenchReader& reader, const Json& microcode, const std::string& microcodePath,
                   SimBufferConfig& config)
{
    if (!reader.IsObject(microcode, microcodePath, "failPiece")) return false;
    const auto found = microcode.find("failPiece");
    if (found == microcode.end()) return true;
    const std::string path = JsonLineMap::Child(microcodePath, "failPiece");
    uint32_t piece = 0;
    if (!reader.CheckFields(*found, path, {"piece", "action", "senseKey", "asc", "ascq"}) ||
        !reader.Require(*found, path, "piece") || !reader.ReadNumber(*found, path, "piece", 0, 255, piece))
        return false;
    config.failPiece = piece;

    const auto action = found->find("action");
    const std::string name = action == found->end() ? "sense" : action->is_string() ? action->get<std::string>() : "";
    if (name == "callFails") {
        for (const char* key : {"senseKey", "asc", "ascq"})
            if (found->contains(key))
                return reader.Fail(JsonLineMap::Child(path, key),
                                   "\"" + std::string(key) + "\" goes only with \"action\": \"sense\"");
        return true;
    }
    if (name != "sense")
        return reader.Fail(JsonLineMap::Child(path, "action"), "\"action\" must be \"sense\" or \"callFails\"");
    SimBufferSense sense;
    if (!ReadSense(reader, *found, path, sense)) return false;
    config.failPieceSense = sense;
    return true;
}

bool ReadRevisionAfter(BenchReader& reader, const Json& microcode, const std::string& path, SimBufferConfig& config)
{
    if (microcode.contains("revisionAfter") && microcode.contains("revisionOffset"))
        return reader.Fail(JsonLineMap::Child(path, "revisionOffset"),
                           "\"revisionOffset\" and \"revisionAfter\" cannot both be given");
    if (microcode.contains("revisionAfter")) {
        std::string revision;
        if (!reader.ReadText(microcode, path, "revisionAfter", kSimRevisionLength, revision)) return false;
        config.revisionAfter = revision;
    }
    if (microcode.contains("revisionOffset")) {
        // The four characters lie inside the largest image the drive takes.
        const uint32_t last = config.microcodeCapacity > kSimRevisionLength
                                  ? config.microcodeCapacity - static_cast<uint32_t>(kSimRevisionLength)
                                  : 0;
        uint32_t offset = 0;
        if (!reader.ReadNumber(microcode, path, "revisionOffset", 0, last, offset)) return false;
        config.revisionOffset = offset;
    }
    return true;
}

bool ReadMicrocode(BenchReader& reader, const Json& device, const std::string& devicePath, SimBufferConfig& config)
{
    if (!reader.IsObject(device, devicePath, "microcode")) return false;
    const auto found = device.find("microcode");
    if (found == device.end()) return true;
    const std::string path = JsonLineMap::Child(devicePath, "microcode");
    // Bench files written when the restart was a count of commands.
    if (found->contains("resetCommands"))
        return reader.Fail(JsonLineMap::Child(path, "resetCommands"),
                           "\"resetCommands\" is no longer read: the restart lasts \"restartSeconds\" of the "
                           "drive's clock");
    if (!reader.CheckFields(*found, path,
                            {"capacity", "restartSeconds", "neverReady", "revisionAfter", "revisionOffset",
                             "rejectImage", "failPiece"}) ||
        !reader.ReadNumber(*found, path, "capacity", 0, 0xFFFFFFFFu, config.microcodeCapacity) ||
        !reader.ReadNumber(*found, path, "restartSeconds", 0, kSimMaxRestartSeconds, config.restartSeconds) ||
        !reader.ReadBool(*found, path, "neverReady", config.neverReady) ||
        !ReadRevisionAfter(reader, *found, path, config) || !reader.IsObject(*found, path, "rejectImage"))
        return false;
    if (const auto reject = found->find("rejectImage"); reject != found->end()) {
        const std::string rejectPath = JsonLineMap::Child(path, "rejectImage");
        SimBufferSense sense;
        if (!reader.CheckFields(*reject, rejectPath, {"senseKey", "asc", "ascq"}) ||
            !ReadSense(reader, *reject, rejectPath, sense))
            return false;
        config.rejectImage = sense;
    }
    return ReadFailPiece(reader, *found, path, config);
}

}  // namespace

bool ReadBufferAndMicrocode(BenchReader& reader, const Json& device, const std::string& devicePath,
                            SimDriveConfig& drive)
{
    return ReadBuffer(reader, device, devicePath, drive.buffer) &&
           ReadMicrocode(reader, device, devicePath, drive.buffer);
}
