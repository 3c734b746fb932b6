#include "platform/linux_catalog.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <memory>

#include "platform/linux_sg_device.h"
#include "platform/linux_sysfs.h"
#include "scsi/inquiry_data.h"

namespace {

// SG_IO needs the version 3 interface of the sg driver.
constexpr int kSgIoMinimumVersion = 30000;

}  // namespace

LinuxCatalog::LinuxCatalog(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot))
{
}

std::string LinuxCatalog::PathPrefix() const { return devRoot_ + "/"; }

std::string LinuxCatalog::PathStem() const { return "sg"; }

std::vector<uint32_t> LinuxCatalog::DriveNumbers() const
{
    std::vector<uint32_t> numbers;
    std::error_code error;
    std::filesystem::directory_iterator it(std::filesystem::path(sysfsRoot_) / "class" / "scsi_generic", error);
    if (error) return numbers;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= 2 || name.compare(0, 2, "sg") != 0) continue;
        const char* last = name.data() + name.size();
        uint32_t number = 0;
        const auto [end, parsed] = std::from_chars(name.data() + 2, last, number);
        if (parsed == std::errc() && end == last) numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

DeviceHandle LinuxCatalog::Open(const std::string& path, int& errorCode)
{
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        errorCode = errno;
        return nullptr;
    }
    int version = 0;
    if (ioctl(fd, SG_GET_VERSION_NUM, &version) < 0 || version < kSgIoMinimumVersion) {
        close(fd);
        errorCode = ENOTTY;
        errno = ENOTTY;
        return nullptr;
    }
    errorCode = 0;
    return std::make_shared<LinuxSgDevice>(fd, sysfsRoot_);
}

PathLookup LinuxCatalog::FindPath(const std::string& path) const
{
    namespace fs = std::filesystem;
    PathLookup lookup;
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (error) {
        lookup.errorCode = error.value();
        return lookup;
    }
    // Only a node of the device folder is named after what it is.
    const fs::path devices = fs::canonical(devRoot_, error);
    if (error || target.parent_path() != devices) return lookup;
    const std::string name = target.filename().string();
    if ((lookup.driveNumber = DriveNumberOfPath(PathPrefix() + name))) return lookup;

    const SysfsBlockDevice block = LinuxSysfs(sysfsRoot_).ReadBlockDevice(name);
    if (!block.exists) return lookup;
    if (!block.partitionOf.empty())
        lookup.reason = "a partition of " + PathPrefix() + block.partitionOf + ", not a drive; name the drive itself";
    else if (!block.scsi)
        lookup.reason = "not a SCSI drive";
    else if (!block.sgNumber)
        lookup.reason = "the drive has no SCSI generic node (is the sg driver loaded? sudo modprobe sg)";
    lookup.driveNumber = block.sgNumber;
    return lookup;
}

std::optional<DriveIdentifiers> LinuxCatalog::KnownIdentifiers(uint32_t driveNumber) const
{
    const std::optional<SysfsIdentifiers> shown = LinuxSysfs(sysfsRoot_).ReadIdentifiers(driveNumber);
    // The kernel reads VPD pages only from drives that have them; without
    // any, only the drive can tell.
    if (!shown || (shown->wwid.empty() && shown->serialPage.empty() && shown->idPage.empty())) return std::nullopt;

    DriveIdentifiers identifiers;
    if (auto serial = DecodeUnitSerialNumberPage(shown->serialPage.data(), shown->serialPage.size()))
        identifiers.serials.push_back(*serial);
    if (HasInquirySerialNumber(shown->inquiry.data(), shown->inquiry.size()))
        identifiers.serials.emplace_back(DecodeStandardInquiry(shown->inquiry.data(), shown->inquiry.size()).serialNumber);
    if (!shown->wwid.empty()) identifiers.worldWideNames.push_back(shown->wwid);
    for (std::string& name : DecodeLogicalUnitNames(shown->idPage.data(), shown->idPage.size()))
        if (name != shown->wwid) identifiers.worldWideNames.push_back(std::move(name));
    return identifiers;
}

std::unique_ptr<DeviceCatalog> MakeLinuxCatalog() { return std::make_unique<LinuxCatalog>(); }
