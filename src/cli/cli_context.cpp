#include "cli/cli_context.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "drives/device_table.h"
#include "drives/scan.h"
#include "platform/linux_catalog.h"
#include "scsi/drive_identity.h"
#include "sim/sim_catalog.h"

namespace {

// For a device the user may not open: the group to join, when it is one a
// user can be put in.
std::string PermissionAdvice(const std::string& path)
{
    struct stat status {};
    const group* owner = stat(path.c_str(), &status) == 0 ? getgrgid(status.st_gid) : nullptr;
    if (owner == nullptr) return "run as root, or join the group that owns it";
    if (status.st_gid == 0) return "run as root";
    const passwd* user = getpwuid(getuid());
    const std::string name = user != nullptr ? user->pw_name : "YOUR-NAME";
    return std::string("run as root, or join the group \"") + owner->gr_name + "\" that owns it: sudo adduser " +
           name + ' ' + owner->gr_name + ", then log in again";
}

std::string OpenFailureText(const std::string& path, int errorCode)
{
    const std::string text = "cannot open " + path;
    switch (errorCode) {
    case 0:
        return text;
    case ENOENT:
        return text + ": no such device (see 'kestrion-cli list')";
    case ENOTTY:
        return text + ": not a SCSI generic device";
    case EACCES:
    case EPERM:
        return text + ": " + std::strerror(errorCode) + " (" + PermissionAdvice(path) + ")";
    default:
        return text + ": " + std::strerror(errorCode);
    }
}

}  // namespace

int CliContext::Discover()
{
    std::string error;
    catalog = benchFile ? MakeBenchCatalog(*benchFile, error) : MakeLinuxCatalog();
    if (!catalog) {
        console->err() << "kestrion-cli: " << error << '\n';
        return kExitUsage;
    }
    ScanScsiDevices(*catalog);
    if (FirstDevice() != nullptr) return kExitOk;

    // Nothing found: say whether the first listed device could not be opened at all.
    const std::vector<uint32_t> numbers = catalog->DriveNumbers();
    if (numbers.empty()) return kExitOk;
    const std::string first = catalog->PathPrefix() + catalog->PathStem() + std::to_string(numbers.front());
    int errorCode = 0;
    if (!catalog->Open(first, errorCode) && errorCode != ENOENT && errorCode != 0) {
        console->err() << "kestrion-cli: " << OpenFailureText(first, errorCode) << '\n';
        return kExitCannotOpen;
    }
    return kExitOk;
}

DeviceEntry* CliContext::FindDrive(const std::string& drive, int& status)
{
    std::string path = drive;
    if (!drive.empty() && drive.find_first_not_of("0123456789") == std::string::npos)
        path = catalog->PathPrefix() + catalog->PathStem() + drive;
    for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
        if (entry->path == path) return entry;

    // Not among the drives found: a device that is not there or not ours to
    // open is told apart from one that opens but discovery did not take (no
    // disk drive, or named otherwise than by its sg node).
    int errorCode = 0;
    if (!catalog->Open(path, errorCode)) {
        console->err() << "kestrion-cli: " << OpenFailureText(path, errorCode) << '\n';
        status = kExitCannotOpen;
        return nullptr;
    }
    console->err() << "kestrion-cli: " << path << " opens, but is not among the drives found (see 'kestrion-cli list')\n";
    status = kExitDeviceFailure;
    return nullptr;
}
