#include "platform/linux_catalog.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/catalogs.h"
#include "platform/linux_sg_device.h"

namespace {

// SG_IO needs the version 3 interface of the sg driver.
constexpr int kSgIoMinimumVersion = 30000;

}  // namespace

LinuxCatalog::LinuxCatalog(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

std::string LinuxCatalog::PathPrefix() const { return "/dev/"; }

std::string LinuxCatalog::PathStem() const { return "sg"; }

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
