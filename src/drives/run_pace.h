#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How fast a run goes and how long it still needs, from what it has done so
// far in this run and nothing else: no table of drive speeds, and no figure
// before there is a second's worth of work to measure.
struct RunPace {
    std::optional<double> unitsPerSecond;
    std::optional<double> secondsLeft;
};

inline constexpr int64_t kPaceMinimumNanoseconds = 1'000'000'000;

// done and total in one unit (bytes, blocks); elapsed since the run began.
RunPace MeasurePace(uint64_t done, uint64_t total, int64_t elapsedNanoseconds);

// "212.4 MB/s" (decimal megabytes, as drive makers rate their drives).
std::string RateText(double bytesPerSecond);
// "2 h 05 min", "12 min 40 s", "38 s".
std::string DurationText(double seconds);
