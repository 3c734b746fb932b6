#include "platform/linux_sysfs.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// sysfs attributes are small; anything longer is not an attribute we know.
constexpr std::streamsize kAttributeLimit = 4096;

std::optional<std::string> ReadAttribute(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(static_cast<size_t>(kAttributeLimit), '\0');
    in.read(text.data(), kAttributeLimit);
    if (in.bad()) return std::nullopt;
    text.resize(static_cast<size_t>(in.gcount()));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.remove_suffix(1);
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

template <typename T>
std::optional<T> ReadNumber(const fs::path& path)
{
    const auto text = ReadAttribute(path);
    if (!text) return std::nullopt;
    return ParseNumber<T>(*text);
}

std::vector<uint8_t> ReadBinary(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) bytes.clear();
    return bytes;
}

// The number of an "sgN" name.
std::optional<uint32_t> SgNumber(const std::string& name)
{
    if (name.size() <= 2 || name.compare(0, 2, "sg") != 0) return std::nullopt;
    return ParseNumber<uint32_t>(std::string_view(name).substr(2));
}

bool HasEntries(const fs::path& dir)
{
    std::error_code error;
    fs::directory_iterator it(dir, error);
    return !error && it != fs::directory_iterator();
}

// The kernel links `driver` only while an upper-level driver is bound; a
// link whose target is gone still counts.
bool EntryExists(const fs::path& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

std::optional<ScsiHctl> ParseHctl(std::string_view name)
{
    std::string_view parts[4];
    for (int i = 0; i < 3; ++i) {
        const size_t colon = name.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        parts[i] = name.substr(0, colon);
        name.remove_prefix(colon + 1);
    }
    parts[3] = name;
    ScsiHctl address;
    const auto host = ParseNumber<int>(parts[0]);
    const auto channel = ParseNumber<int>(parts[1]);
    const auto target = ParseNumber<int>(parts[2]);
    const auto lun = ParseNumber<uint64_t>(parts[3]);
    if (!host || !channel || !target || !lun || *host < 0 || *channel < 0 || *target < 0) return std::nullopt;
    address.host = *host;
    address.channel = *channel;
    address.target = *target;
    address.lun = *lun;
    return address;
}

std::string FormatHctl(const ScsiHctl& address)
{
    return std::to_string(address.host) + ":" + std::to_string(address.channel) + ":" +
           std::to_string(address.target) + ":" + std::to_string(address.lun);
}

LinuxSysfs::LinuxSysfs(std::string root) : root_(std::move(root)) {}

std::string LinuxSysfs::DeviceDir(const ScsiHctl& address) const
{
    return (fs::path(root_) / "class" / "scsi_device" / FormatHctl(address) / "device").string();
}

std::vector<ScsiHctl> LinuxSysfs::SgDevices() const
{
    std::vector<ScsiHctl> devices;
    std::error_code error;
    fs::directory_iterator it(fs::path(root_) / "class" / "scsi_device", error);
    if (error) return devices;
    for (const auto& entry : it) {
        const auto address = ParseHctl(entry.path().filename().string());
        if (!address) continue;
        if (HasEntries(entry.path() / "device" / "scsi_generic")) devices.push_back(*address);
    }
    std::sort(devices.begin(), devices.end());
    return devices;
}

std::optional<SysfsScsiDevice> LinuxSysfs::ReadDevice(const ScsiHctl& address) const
{
    const fs::path dir = DeviceDir(address);
    const auto type = ReadNumber<int>(dir / "type");
    if (!type) return std::nullopt;

    SysfsScsiDevice device;
    device.address = address;
    device.type = *type;
    device.scsiLevel = ReadNumber<int>(dir / "scsi_level").value_or(0);
    device.vendor = ReadAttribute(dir / "vendor").value_or("");
    device.model = ReadAttribute(dir / "model").value_or("");
    device.revision = ReadAttribute(dir / "rev").value_or("");
    device.claimed = EntryExists(dir / "driver");

    device.inquiry = ReadBinary(dir / "inquiry");
    return device;
}

std::optional<SysfsQueueLimits> LinuxSysfs::ReadQueueLimits(const ScsiHctl& address) const
{
    std::error_code error;
    fs::directory_iterator it(fs::path(DeviceDir(address)) / "block", error);
    if (error || it == fs::directory_iterator()) return std::nullopt;

    // A SCSI device has at most one block device.
    const fs::path queue = it->path() / "queue";
    const auto maxHwSectorsKb = ReadNumber<uint64_t>(queue / "max_hw_sectors_kb");
    const auto maxSegments = ReadNumber<uint64_t>(queue / "max_segments");
    if (!maxHwSectorsKb || !maxSegments) return std::nullopt;

    SysfsQueueLimits limits;
    limits.maxHwSectorsKb = *maxHwSectorsKb;
    limits.maxSegments = *maxSegments;
    limits.dmaAlignment = ReadNumber<uint64_t>(queue / "dma_alignment");
    return limits;
}

SysfsBlockDevice LinuxSysfs::ReadBlockDevice(const std::string& name) const
{
    SysfsBlockDevice block;
    const fs::path dir = fs::path(root_) / "class" / "block" / name;
    std::error_code error;
    if (name.empty() || name.find('/') != std::string::npos || !fs::is_directory(dir, error)) return block;
    block.exists = true;
    if (fs::exists(dir / "partition", error)) {
        // A partition's directory lies inside its disk's.
        block.partitionOf = fs::canonical(dir, error).parent_path().filename().string();
        return block;
    }
    // Every SCSI device shows its level; other block devices have none.
    block.scsi = fs::exists(dir / "device" / "scsi_level", error);
    fs::directory_iterator it(dir / "device" / "scsi_generic", error);
    if (error) return block;
    for (const auto& entry : it)
        if ((block.sgNumber = SgNumber(entry.path().filename().string()))) break;
    return block;
}

std::optional<SysfsIdentifiers> LinuxSysfs::ReadIdentifiers(uint32_t sgNumber) const
{
    const fs::path dir = fs::path(root_) / "class" / "scsi_generic" / ("sg" + std::to_string(sgNumber)) / "device";
    std::error_code error;
    if (!fs::is_directory(dir, error)) return std::nullopt;
    SysfsIdentifiers identifiers;
    identifiers.wwid = ReadAttribute(dir / "wwid").value_or("");
    identifiers.serialPage = ReadBinary(dir / "vpd_pg80");
    identifiers.idPage = ReadBinary(dir / "vpd_pg83");
    identifiers.inquiry = ReadBinary(dir / "inquiry");
    return identifiers;
}
