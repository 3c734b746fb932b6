#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// How far one drive's sequence has gone and how fast its scans read: the
// worker tells it as it goes, a window reads it from any thread.
class SequenceProgress {
public:
    struct Reading {
        int subtest = -1;  // running now, or last; -1 before the first
        int subtestsDone = 0;
        int subtestsSelected = 0;
        // The current subtest's reads; blocksToDo 0 when it has none to count.
        uint64_t blocksDone = 0;
        uint64_t blocksToDo = 0;
        // Its reads go through the medium in order, at the scans' rate.
        bool sequential = false;
        uint32_t blockLength = 0;
        // What this run's sequential scans have read, and how long they took.
        uint64_t scannedBytes = 0;
        int64_t scanMilliseconds = 0;

        // The scans' rate so far; none before any time was measured.
        std::optional<double> BytesPerSecond() const;
        // Seconds to read so many blocks more at that rate.
        std::optional<int64_t> SecondsFor(uint64_t blocks) const;
        // Seconds the current subtest still needs; none when it has no
        // sequential reads or no rate has been measured.
        std::optional<int64_t> SecondsLeft() const;
        // The current subtest's share done, 0 to 1; none without a count.
        std::optional<double> SubtestFraction() const;
        // The run's share done: finished subtests and the current one's part.
        double RunFraction() const;
    };

    Reading Read() const;

    void Select(int subtests);
    void Begin(int subtest);
    // The current subtest counts its reads: so many blocks, read in order
    // or not.
    void Count(uint64_t blocksToDo, uint32_t blockLength, bool sequential);
    void Advance(uint64_t blocks);
    void Done();
    // A slice of a sequential scan read so many bytes in so long.
    void Scanned(uint64_t bytes, int64_t milliseconds);

private:
    mutable std::mutex mutex;
    Reading now;
};

// The estimate the scan of the entire drive prints before its middle part:
// "Complete Scan of Disk will require N minutes" (or "H hours and M
// minutes"), from the rate measured so far; without a rate it says the time
// is not known yet.
std::string ScanEstimateText(std::optional<int64_t> seconds);

// A time left for a window's column: "1:05:09", "4:07"; "not known yet".
std::string TimeLeftText(std::optional<int64_t> seconds);
// A rate for a window's column: "157.3 MB/s"; "" before any is measured.
std::string RateText(std::optional<double> bytesPerSecond);
