#include "sim/bench_media.h"

#include "sim/json_lines.h"

namespace {

using Json = nlohmann::json;

constexpr uint64_t kMaxMediaRate = uint64_t{1} << 40;         // 1 TiB/s
constexpr uint32_t kMaxLatencyMicroseconds = 10 * 1000 * 1000;  // 10 s
constexpr size_t kMaxUnreadableBlocks = 1000000;
// READ DEFECT DATA (10) carries at most 65535 bytes of 8-byte descriptors.
constexpr size_t kMaxDefects = 8000;

bool ReadUnsignedElement(BenchReader& reader, const Json& value, const std::string& path, uint64_t max,
                         const std::string& what, uint64_t& out)
{
    if (!value.is_number_unsigned() || value.get<uint64_t>() > max)
        return reader.Fail(path, what + " must be a number from 0 to " + std::to_string(max));
    out = value.get<uint64_t>();
    return true;
}

bool ReadUnreadable(BenchReader& reader, const Json& device, const std::string& devicePath, SimDriveConfig& drive)
{
    if (!reader.IsList(device, devicePath, "unreadableBlocks")) return false;
    const auto found = device.find("unreadableBlocks");
    if (found == device.end()) return true;
    const std::string path = JsonLineMap::Child(devicePath, "unreadableBlocks");
    if (found->size() > kMaxUnreadableBlocks)
        return reader.Fail(path, "at most " + std::to_string(kMaxUnreadableBlocks) + " unreadable blocks");
    for (size_t i = 0; i < found->size(); ++i) {
        uint64_t lba = 0;
        if (!ReadUnsignedElement(reader, (*found)[i], JsonLineMap::Child(path, i), drive.blocks - 1,
                                 "an unreadable block", lba))
            return false;
        drive.media.unreadableBlocks.push_back(lba);
    }
    return true;
}

// One defect: [cylinder, head, sector] inside the geometry, or a whole
// track with sector 4294967295 (FFFFFFFFh).
bool ReadDefect(BenchReader& reader, const Json& value, const std::string& path, const SimGeometry& geometry,
                SimPhysicalSector& out)
{
    const char* shape = "a defect must be [cylinder, head, sector]";
    if (!value.is_array() || value.size() != 3) return reader.Fail(path, shape);
    const uint64_t limits[3] = {geometry.cylinders - 1u, geometry.heads - 1u, geometry.sectorsPerTrack - 1u};
    const char* names[3] = {"its cylinder", "its head", "its sector"};
    uint64_t parts[3] = {};
    for (size_t i = 0; i < 3; ++i) {
        if (i == 2 && value[i].is_number_unsigned() && value[i].get<uint64_t>() == kSimWholeTrack) {
            parts[i] = kSimWholeTrack;
            continue;
        }
        const std::string what = std::string(names[i]) + " (inside the geometry" +
                                 (i == 2 ? ", or 4294967295 for the whole track)" : ")");
        if (!ReadUnsignedElement(reader, value[i], JsonLineMap::Child(path, i), limits[i], what, parts[i]))
            return false;
    }
    out = {static_cast<uint32_t>(parts[0]), static_cast<uint32_t>(parts[1]), static_cast<uint32_t>(parts[2])};
    return true;
}

bool ReadDefectList(BenchReader& reader, const Json& defects, const std::string& defectsPath, const char* key,
                    const SimGeometry& geometry, std::vector<SimPhysicalSector>& out)
{
    if (!reader.IsList(defects, defectsPath, key)) return false;
    const auto found = defects.find(key);
    if (found == defects.end()) return true;
    const std::string path = JsonLineMap::Child(defectsPath, key);
    for (size_t i = 0; i < found->size(); ++i) {
        SimPhysicalSector place;
        if (!ReadDefect(reader, (*found)[i], JsonLineMap::Child(path, i), geometry, place)) return false;
        out.push_back(place);
    }
    return true;
}

bool ReadDefects(BenchReader& reader, const Json& device, const std::string& devicePath, SimDriveConfig& drive)
{
    if (!reader.IsObject(device, devicePath, "defects")) return false;
    const auto found = device.find("defects");
    if (found == device.end()) return true;
    const std::string path = JsonLineMap::Child(devicePath, "defects");
    if (!reader.CheckFields(*found, path, {"primary", "grown"})) return false;
    if (!drive.geometry) return reader.Fail(path, "\"defects\" need the drive's \"geometry\"");
    if (!ReadDefectList(reader, *found, path, "primary", *drive.geometry, drive.media.primaryDefects) ||
        !ReadDefectList(reader, *found, path, "grown", *drive.geometry, drive.media.grownDefects))
        return false;
    if (drive.media.primaryDefects.size() + drive.media.grownDefects.size() > kMaxDefects)
        return reader.Fail(path, "at most " + std::to_string(kMaxDefects) + " defects in both lists together");
    return true;
}

}  // namespace

bool ReadMediaSection(BenchReader& reader, const Json& device, const std::string& path, SimDriveConfig& drive)
{
    return ReadUnreadable(reader, device, path, drive) &&
           reader.ReadNumber(device, path, "mediaRate", 1, kMaxMediaRate, drive.media.mediaRate) &&
           reader.ReadNumber(device, path, "latencyMicroseconds", 0, kMaxLatencyMicroseconds,
                             drive.media.latencyMicroseconds) &&
           ReadDefects(reader, device, path, drive);
}
