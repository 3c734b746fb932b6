#include "drives/run_pace.h"

#include <algorithm>
#include <cmath>

#include "scsi/string_format.h"

RunPace MeasurePace(uint64_t done, uint64_t total, int64_t elapsedNanoseconds)
{
    RunPace pace;
    if (done == 0 || elapsedNanoseconds < kPaceMinimumNanoseconds) return pace;
    const double rate = static_cast<double>(done) * 1e9 / static_cast<double>(elapsedNanoseconds);
    pace.unitsPerSecond = rate;
    pace.secondsLeft = total > done ? static_cast<double>(total - done) / rate : 0.0;
    return pace;
}

std::string RateText(double bytesPerSecond)
{
    const double megabytes = bytesPerSecond / 1e6;
    return StringPrintf(megabytes < 10 ? "%.2f MB/s" : "%.1f MB/s", megabytes);
}

std::string DurationText(double seconds)
{
    const auto whole = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    if (whole >= 3600) return StringPrintf("%lld h %02lld min", whole / 3600, whole % 3600 / 60);
    if (whole >= 60) return StringPrintf("%lld min %02lld s", whole / 60, whole % 60);
    return StringPrintf("%lld s", whole);
}
