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

namespace {

// SG_IO needs the version 3 interface of the sg driver.
constexpr int kSgIoMinimumVersion = 30000;

}  // namespace

LinuxCatalog::LinuxCatalog(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

std::string LinuxCatalog::PathPrefix() const { return "/dev/"; }

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

std::unique_ptr<DeviceCatalog> MakeLinuxCatalog() { return std::make_unique<LinuxCatalog>(); }
