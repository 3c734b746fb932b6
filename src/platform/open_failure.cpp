#include "platform/open_failure.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

}  // namespace

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
