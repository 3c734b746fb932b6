#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "scan/scan_observer.h"
#include "scan/scan_records.h"
#include "scsi/scsi_device.h"

class MonotonicClock;

// One command moves this much when the adapter allows it...
inline constexpr uint32_t kPreferredTransferBytes = 1024 * 1024;
// ...and this much when the adapter cannot tell its limit: a size every
// adapter takes.
inline constexpr uint32_t kUnknownLimitTransferBytes = 64 * 1024;

// The default choice verifies this many transfers, then reads the same
// blocks, and compares the median rates of all but the first of each
// (which may pay for a seek).
inline constexpr int kSampleTransfers = 8;
// VERIFY is taken when it is about as fast as READ (kLeastVerifyShare of
// its rate: samples of one speed differ by a little, and VERIFY leaves the
// link and the host's memory to the other drives of a run), but not when it
// is more than kMostVerifyGain times faster: no medium reads that much
// faster without moving its data over a SCSI or SAS link, and a disk that
// answers VERIFY without reading anything (some emulated ones do) must not
// pass for a good one.
inline constexpr double kLeastVerifyShare = 0.97;
inline constexpr double kMostVerifyGain = 4.0;

// After this many failed transfers in a row that narrowing could not
// settle, the scan skips ahead: one transfer, then twice as far each time
// the transfer after a skip fails too (not narrowed), up to kMostSkipBytes;
// a transfer that reads ends the skipping. Skipped blocks are listed as not
// read, so a drive with a dead zone ends in time and says where.
inline constexpr int kDeadTransfersBeforeSkipping = 2;
inline constexpr uint64_t kMostSkipBytes = uint64_t{1} << 30;

// A drive to scan, as discovery found it.
struct ScanTarget {
    std::string path;
    DeviceHandle handle;
    uint64_t lastLba = 0;
    uint32_t blockLength = 0;
};

// What the user asked for: a range (the whole drive by default) and the method.
struct ScanRequest {
    std::optional<uint64_t> from;
    std::optional<uint64_t> to;
    MethodChoice choice = MethodChoice::Faster;
};

// The blocks a request covers on a drive whose last LBA is lastLba; none,
// with the reason in error, when it names blocks the drive does not have.
std::optional<ScanRange> ResolveScanRange(const ScanRequest& request, uint64_t lastLba, std::string& error);

// Blocks per command: kPreferredTransferBytes, never more than the adapter's
// limit (0: not known), a whole number of blocks, at least one.
uint32_t TransferBlocks(uint32_t blockLength, uint32_t adapterLimitBytes);

// The surface scan of one drive, on the calling thread: every block of the
// range read or verified with large transfers, past every failure, each
// failed transfer narrowed down to its failing blocks. A stop is taken
// before the next command; the result then says where to resume.
class SurfaceScan {
public:
    SurfaceScan(size_t drive, ScanTarget target, ScanRequest request, MonotonicClock& clock, ScanObserver& observer,
                const std::atomic<bool>& stop);

    ScanResult Run();

private:
    class Sampler;

    ScanResult Fail(std::string error);
    ScanResult End(ScanResult& result, const Sampler& sampler, ScanOutcome outcome, std::optional<uint64_t> resumeLba);
    void Progress(const ScanResult& result, uint64_t cursor, const Sampler& sampler);
    void AddGap(ScanResult& result, const ScanGap& gap);

    size_t drive;
    ScanTarget target;
    ScanRequest request;
    MonotonicClock& clock;
    ScanObserver& observer;
    const std::atomic<bool>& stop;
    int64_t startedAt = 0;
    uint64_t blocksNotRead = 0;
};
