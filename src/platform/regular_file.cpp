#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kNotRegularFile = EINVAL;

}  // namespace

int OpenRegularFile(const std::string& path, int& errorCode)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        errorCode = errno;
        return -1;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        errorCode = S_ISDIR(status.st_mode) ? EISDIR : kNotRegularFile;
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
