#include "platform/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kNotRegularFile = EINVAL;

int NotRegularCode(const struct stat& status) { return S_ISDIR(status.st_mode) ? EISDIR : kNotRegularFile; }

}  // namespace

int OpenRegularFile(const std::string& path, int& errorCode, int flags)
{
    // Looked at before it is opened: opening a device may already act on it.
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        errorCode = NotRegularCode(status);
        return -1;
    }
    // Without O_NONBLOCK, opening a FIFO that takes the name between the look
    // and the open would wait for a peer that may never come.
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

std::string OpenFailureReason(int errorCode)
{
    if (errorCode == kNotRegularFile) return "not a regular file";
    return std::strerror(errorCode);
}
