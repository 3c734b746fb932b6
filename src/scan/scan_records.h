#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scsi/sense.h"

// What a surface scan asks the drive to do with each block: READ it into
// the host's buffer, or VERIFY it inside the drive with nothing moved.
enum class ScanMethod { Read, Verify };

// The method the user chose, or the one of the two that is faster on the
// drive at hand, measured at the start of the scan.
enum class MethodChoice { Faster, Read, Verify };

// Blocks first to last, both included.
struct ScanRange {
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t Blocks() const { return last - first + 1; }
    bool operator==(const ScanRange&) const = default;
};

// A block the drive could not read, and how it said so.
struct ScanFailure {
    uint64_t lba = 0;
    // False when the command never reached the drive (the host adapter or
    // its driver failed it); the status and sense then say nothing.
    bool reachedDrive = true;
    uint8_t status = 0;
    SenseCodes sense;
};

// Blocks the scan did not get to read one by one: it skipped them in a
// region where every transfer failed, or stopped narrowing a failed
// transfer down because the region had used up its share of commands.
enum class GapReason { Skipped, NotNarrowed };
struct ScanGap {
    ScanRange range;
    GapReason reason = GapReason::Skipped;
};

// Where a scan stands, after each command.
struct ScanProgress {
    ScanRange range;
    uint64_t nextLba = 0;     // the first block not dealt with yet
    uint64_t blocksDone = 0;  // read, listed as failed, or listed as not read
    uint32_t blockLength = 0;
    int64_t elapsedNanoseconds = 0;
    std::optional<double> bytesPerSecond;  // from this run alone
    std::optional<double> secondsLeft;
    ScanMethod method = ScanMethod::Read;
    bool sampling = false;  // still measuring which method is faster
    size_t failures = 0;
    uint64_t blocksNotRead = 0;
};

// What the scan will do, once it knows the drive's limits.
struct ScanPlan {
    ScanRange range;
    uint32_t blockLength = 0;
    uint32_t transferBlocks = 0;
    MethodChoice choice = MethodChoice::Faster;
};

// The median rates of the two short samples the default choice compares.
struct MethodSample {
    double readBytesPerSecond = 0;
    double verifyBytesPerSecond = 0;
};

enum class ScanOutcome {
    Passed,      // every block of the range read
    Failed,      // the scan reached the end; some blocks did not read
    Stopped,     // asked to stop: resumeLba says where to go on
    DriveLost,   // the drive stopped answering: resumeLba says where to go on
    DriveError,  // the scan could not begin (error says why)
};

struct ScanResult {
    ScanOutcome outcome = ScanOutcome::DriveError;
    ScanPlan plan;
    ScanMethod method = ScanMethod::Read;
    std::optional<MethodSample> sample;  // when the default choice measured one
    uint64_t blocksRead = 0;
    std::vector<ScanFailure> failures;  // in LBA order
    std::vector<ScanGap> gaps;          // in LBA order
    std::optional<uint64_t> resumeLba;
    int64_t elapsedNanoseconds = 0;
    std::string error;
};
