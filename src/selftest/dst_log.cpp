#include "selftest/dst_log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "drives/device_entry.h"
#include "platform/regular_file.h"
#include "platform/user_prompts.h"
#include "scsi/string_format.h"

std::string g_strDstLogPath;

namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kLastFourDigitYear = 9999;

// `done` counts the bytes that reached the file, also on failure.
bool WriteAll(int fd, const std::string& bytes, size_t& done)
{
    done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

std::string CannotUse(const std::string& path, const char* what, const std::string& why)
{
    return StringPrintf("The DST log file \"%s\" could not be %s: %s.", path.c_str(), what, why.c_str());
}

struct LogFile {
    int fd = -1;
    off_t size = 0;

    ~LogFile()
    {
        if (fd >= 0) ::close(fd);
    }
    // Appending, creating when absent, never truncating; a regular file only,
    // so that a FIFO or a device chosen by mistake cannot hang the run or
    // swallow its rows.
    bool Open(const std::string& path, std::string& error)
    {
        int code = 0;
        fd = OpenRegularFile(path, code, O_WRONLY | O_CREAT | O_APPEND);
        struct stat status{};
        if (fd < 0 || ::fstat(fd, &status) != 0) {
            error = CannotUse(path, "opened", fd < 0 ? OpenFailureReason(code) : std::strerror(errno));
            return false;
        }
        size = status.st_size;
        return true;
    }
    // Writes bytes at the end; on a failure takes back whatever part of them
    // reached the file, so it holds what it held before.
    bool Append(const std::string& bytes, const std::string& path, std::string& error)
    {
        size_t done = 0;
        // fsync brings out a write the system had only promised.
        if (WriteAll(fd, bytes, done) && ::fsync(fd) == 0) return true;
        const int code = errno;
        error = CannotUse(path, "written", std::strerror(code));
        if (done > 0 && ::ftruncate(fd, size) != 0) error += " Its end may hold part of a row.";
        return false;
    }
    bool Close(const std::string& path, std::string& error)
    {
        const int result = ::close(fd);
        fd = -1;
        if (result == 0) return true;
        error = CannotUse(path, "written", std::strerror(errno));
        return false;
    }
};

}  // namespace

std::string FormatDstTime(time_t time)
{
    if (time <= 0) return {};
    struct tm local{};
    if (localtime_r(&time, &local) == nullptr) return {};
    const int year = local.tm_year + 1900;
    if (year > kLastFourDigitYear || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11)
        return {};
    return StringPrintf("%s %s %02d %02d:%02d:%02d %04d", kWeekdays[local.tm_wday], kMonths[local.tm_mon],
                        local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, year);
}

std::string ComposeDstLogRow(const DeviceEntry& entry, DstKind kind)
{
    const bool quick = kind == DstKind::Quick;
    const DstOutcome& outcome = quick ? entry.dstQuick : entry.dstAdvanced;
    const uint8_t status = quick ? entry.dstQuickStatus : entry.dstAdvStatus;
    const std::string& result = quick ? entry.dstQuickResult : entry.dstAdvResult;

    std::string row = StringPrintf("%.16s, %s, ", entry.productId, entry.serialNumber);
    row += quick ? "DST Quick, " : "DST Advanced, ";
    row += result + ", ";
    row += FormatDstTime(outcome.beginTime);
    const std::string end = outcome.ended ? FormatDstTime(outcome.endTime) : std::string();
    row += end.empty() ? ", , " : ", " + end + ", ";
    row += StringPrintf("%x, ", outcome.timeStamp);
    if (status == 2) {
        row += StringPrintf("%08x%08x, %02x, %02x, %02x, %02x", outcome.failingLbaHigh, outcome.failingLbaLow,
                            outcome.senseKey, outcome.asc, outcome.ascq, outcome.fru);
    } else {
        row += ", , , ,";
    }
    return row;
}

std::string DstLogPathInUse() { return g_strDstLogPath.empty() ? std::string(g_strDstDefaultLog) : g_strDstLogPath; }

void WriteLogHeader(std::string& bytes) { bytes += kDstLogHeader; }

bool AppendDstLogRows(const std::string& path, const std::vector<std::string>& rows, std::string& error)
{
    LogFile file;
    if (!file.Open(path, error)) return false;
    std::string bytes;
    if (file.size == 0) WriteLogHeader(bytes);
    for (const std::string& row : rows) bytes += kDstLogLineEnd + row;
    return file.Append(bytes, path, error) && file.Close(path, error);
}

bool PrepareDstLogFile(const std::string& path, std::string& error)
{
    LogFile file;
    if (!file.Open(path, error)) return false;
    std::string header;
    WriteLogHeader(header);
    if (file.size == 0 && !file.Append(header, path, error)) return false;
    return file.Close(path, error);
}

void OnSelectDstLogFile(UserPrompts& prompts)
{
    const std::string initial = DstLogPathInUse();
    const auto chosen = prompts.ChooseFile("Select DST Log File", "", initial, false);
    if (!chosen) return;
    std::string error;
    if (!PrepareDstLogFile(*chosen, error)) {
        prompts.Message(error, kDstLogErrorCaption, UserPrompts::Icon::Error);
        return;
    }
    g_strDstLogPath = *chosen;
}
