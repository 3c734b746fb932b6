#include "legacytest/sequence_progress.h"

#include <algorithm>
#include <cmath>

#include "scsi/string_format.h"

std::optional<double> SequenceProgress::Reading::BytesPerSecond() const
{
    if (scanMilliseconds <= 0 || scannedBytes == 0) return std::nullopt;
    return static_cast<double>(scannedBytes) * 1000.0 / static_cast<double>(scanMilliseconds);
}

std::optional<int64_t> SequenceProgress::Reading::SecondsFor(uint64_t blocks) const
{
    const std::optional<double> rate = BytesPerSecond();
    if (!rate || blockLength == 0) return std::nullopt;
    return std::llround(static_cast<double>(blocks) * blockLength / *rate);
}

std::optional<int64_t> SequenceProgress::Reading::SecondsLeft() const
{
    if (!sequential || blocksToDo == 0) return std::nullopt;
    return SecondsFor(blocksToDo - std::min(blocksDone, blocksToDo));
}

std::optional<double> SequenceProgress::Reading::SubtestFraction() const
{
    if (blocksToDo == 0) return std::nullopt;
    return static_cast<double>(std::min(blocksDone, blocksToDo)) / static_cast<double>(blocksToDo);
}

double SequenceProgress::Reading::RunFraction() const
{
    if (subtestsSelected <= 0) return 0.0;
    const double current = subtestsDone < subtestsSelected ? SubtestFraction().value_or(0.0) : 0.0;
    return std::min(1.0, (subtestsDone + current) / subtestsSelected);
}

SequenceProgress::Reading SequenceProgress::Read() const
{
    std::lock_guard lock(mutex);
    return now;
}

void SequenceProgress::Select(int subtests)
{
    std::lock_guard lock(mutex);
    now = Reading{};
    now.subtestsSelected = subtests;
}

void SequenceProgress::Begin(int subtest)
{
    std::lock_guard lock(mutex);
    now.subtest = subtest;
    now.blocksDone = 0;
    now.blocksToDo = 0;
    now.sequential = false;
}

void SequenceProgress::Count(uint64_t blocksToDo, uint32_t blockLength, bool sequential)
{
    std::lock_guard lock(mutex);
    now.blocksToDo = blocksToDo;
    now.blockLength = blockLength;
    now.sequential = sequential;
}

void SequenceProgress::Advance(uint64_t blocks)
{
    std::lock_guard lock(mutex);
    now.blocksDone += blocks;
}

void SequenceProgress::Done()
{
    std::lock_guard lock(mutex);
    ++now.subtestsDone;
    now.blocksDone = now.blocksToDo;
}

void SequenceProgress::Scanned(uint64_t bytes, int64_t milliseconds)
{
    std::lock_guard lock(mutex);
    now.scannedBytes += bytes;
    now.scanMilliseconds += std::max<int64_t>(milliseconds, 0);
}

std::string ScanEstimateText(std::optional<int64_t> seconds)
{
    if (!seconds) return "Complete Scan of Disk will require a time not known yet: no read rate has been measured";
    const auto minutes = static_cast<long>((std::max<int64_t>(*seconds, 0) + 30) / 60);
    if (minutes < 60) return StringPrintf("Complete Scan of Disk will require %ld minutes", minutes);
    return StringPrintf("Complete Scan of Disk will require %ld hours and %ld minutes", minutes / 60, minutes % 60);
}

std::string TimeLeftText(std::optional<int64_t> seconds)
{
    if (!seconds) return "not known yet";
    const int64_t s = std::max<int64_t>(*seconds, 0);
    if (s >= 3600)
        return StringPrintf("%lld:%02lld:%02lld", static_cast<long long>(s / 3600), static_cast<long long>(s / 60 % 60),
                            static_cast<long long>(s % 60));
    return StringPrintf("%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
}

std::string RateText(std::optional<double> bytesPerSecond)
{
    if (!bytesPerSecond) return {};
    return StringPrintf("%.1f MB/s", *bytesPerSecond / 1e6);
}
