#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int NotRegularCode(const struct stat& status) { return S_ISDIR(status.st_mode) ? EISDIR : EINVAL; }

}  // namespace

int OpenRegularFile(const std::string& path, int flags, int& errorCode)
{
    // Looked at before it is opened: opening a device may already act on it.
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        errorCode = NotRegularCode(status);
        return -1;
    }
    // Non-blocking, should a FIFO take the name between the look and the open.
    const int descriptor = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        errorCode = errno;
        return -1;
    }
    const bool looked = ::fstat(descriptor, &status) == 0;
    if (!looked || !S_ISREG(status.st_mode)) {
        errorCode = looked ? NotRegularCode(status) : errno;
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

std::string OpenErrorText(int errorCode)
{
    if (errorCode == EINVAL) return "not a regular file";
    return std::strerror(errorCode);
}
