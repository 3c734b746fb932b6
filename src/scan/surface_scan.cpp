#include "scan/surface_scan.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "drives/run_pace.h"
#include "platform/monotonic_clock.h"
#include "scan/block_commands.h"
#include "scan/failure_narrowing.h"
#include "scsi/string_format.h"

namespace {

using Lba = unsigned long long;

}  // namespace

std::optional<ScanRange> ResolveScanRange(const ScanRequest& request, uint64_t lastLba, std::string& error)
{
    const ScanRange range{request.from.value_or(0), request.to.value_or(lastLba)};
    // A count of blocks that does not fit 64 bits is no capacity at all.
    if (lastLba == std::numeric_limits<uint64_t>::max())
        error = "the drive's capacity cannot be right: its last LBA is FFFFFFFFFFFFFFFFh";
    else if (range.first > lastLba)
        error = StringPrintf("the scan would begin at LBA %llu, past the drive's last LBA %llu", Lba{range.first},
                             Lba{lastLba});
    else if (range.last > lastLba)
        error = StringPrintf("the scan would end at LBA %llu, past the drive's last LBA %llu", Lba{range.last},
                             Lba{lastLba});
    else if (range.first > range.last)
        error = StringPrintf("the scan would begin at LBA %llu, after its last LBA %llu", Lba{range.first},
                             Lba{range.last});
    else
        return range;
    return std::nullopt;
}

uint32_t TransferBlocks(uint32_t blockLength, uint32_t adapterLimitBytes)
{
    const uint32_t bytes =
        adapterLimitBytes == 0 ? kUnknownLimitTransferBytes : std::min(kPreferredTransferBytes, adapterLimitBytes);
    return std::max<uint32_t>(1, bytes / std::max<uint32_t>(blockLength, 1));
}

// The default choice: VERIFY over the first kSampleTransfers transfers of
// the range, as a probe whose answers list nothing, then READ over the same
// blocks as the scan proper, then the faster by the rule of kMostVerifyGain.
// Every block is thus read, or verified by a VERIFY that was chosen: a
// probe that passed proves nothing on a disk whose VERIFY reads nothing. A
// range too short to sample is read.
class SurfaceScan::Sampler {
public:
    Sampler(MethodChoice choice, uint64_t rangeBlocks, uint32_t transferBlocks)
    {
        const bool roomForSamples = rangeBlocks >= uint64_t{kSampleTransfers} * transferBlocks;
        settled = choice != MethodChoice::Faster || !roomForSamples;
        method = choice == MethodChoice::Verify ? ScanMethod::Verify : ScanMethod::Read;
    }

    bool Settled() const { return settled; }
    ScanMethod Method() const { return method; }
    const std::optional<MethodSample>& Sample() const { return sample; }

    // After each VERIFY of the probe.
    void NoteProbe(bool read, uint64_t bytes, int64_t nanoseconds) { verifying.Add(read, bytes, nanoseconds); }

    // After each transfer of the scan's sequence; true when this one
    // settled the choice.
    bool Note(bool read, uint64_t bytes, int64_t nanoseconds)
    {
        if (settled) return false;
        reading.Add(read, bytes, nanoseconds);
        if (reading.transfers < kSampleTransfers) return false;
        settled = true;
        const double readRate = reading.Rate();
        const double verifyRate = verifying.Rate();
        if (readRate <= 0 || verifyRate <= 0) return true;
        sample = MethodSample{readRate, verifyRate};
        // A stall only ever slows a command down, so the fastest VERIFY
        // shows best whether the drive reads anything for it, even when
        // the host stalled most of the sample.
        if (sample->verifyBytesPerSecond >= kLeastVerifyShare * sample->readBytesPerSecond &&
            sample->verifyBytesPerSecond <= kMostVerifyGain * sample->readBytesPerSecond &&
            verifying.Fastest() * kMostVerifyGain >= reading.Fastest())
            method = ScanMethod::Verify;
        return true;
    }

private:
    // The first transfer of each may pay for a seek and is not timed, nor
    // are transfers that failed. A phase's rate is the median of its
    // transfers' rates: the host may stall some commands of a sample
    // (another process, another drive of the run), and a stall must not
    // decide the method; a total over the sample lets one stall do that.
    struct Phase {
        int transfers = 0;
        int clean = 0;
        std::vector<double> nanosecondsPerByte;
        void Add(bool read, uint64_t moved, int64_t took)
        {
            ++transfers;
            if (!read || ++clean == 1 || moved == 0) return;
            nanosecondsPerByte.push_back(static_cast<double>(took) / static_cast<double>(moved));
        }
        // 0 when nothing was timed, or when the clock did not move.
        double Rate() const
        {
            if (nanosecondsPerByte.empty()) return 0;
            std::vector<double> sorted = nanosecondsPerByte;
            std::sort(sorted.begin(), sorted.end());
            const size_t middle = sorted.size() / 2;
            const double median =
                sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
            return median > 0 ? 1e9 / median : 0;
        }
        // The nanoseconds a byte of the quickest timed transfer took.
        double Fastest() const { return *std::min_element(nanosecondsPerByte.begin(), nanosecondsPerByte.end()); }
    };
    bool settled = true;
    ScanMethod method = ScanMethod::Read;
    Phase reading;
    Phase verifying;
    std::optional<MethodSample> sample;
};

SurfaceScan::SurfaceScan(size_t drive, ScanTarget target, ScanRequest request, MonotonicClock& clock,
                         ScanObserver& observer, const std::atomic<bool>& stop)
    : drive(drive), target(std::move(target)), request(request), clock(clock), observer(observer), stop(stop)
{
}

ScanResult SurfaceScan::Fail(std::string error)
{
    ScanResult result;
    result.outcome = ScanOutcome::DriveError;
    result.error = std::move(error);
    result.elapsedNanoseconds = clock.NowNanoseconds() - startedAt;
    observer.ScanEnded(drive, result);
    return result;
}

void SurfaceScan::AddGap(ScanResult& result, const ScanGap& gap)
{
    observer.BlocksNotRead(drive, gap);
    blocksNotRead += gap.range.Blocks();
    if (!result.gaps.empty() && result.gaps.back().reason == gap.reason &&
        result.gaps.back().range.last + 1 == gap.range.first) {
        result.gaps.back().range.last = gap.range.last;
        return;
    }
    result.gaps.push_back(gap);
}

void SurfaceScan::Progress(const ScanResult& result, uint64_t cursor, const Sampler& sampler)
{
    ScanProgress progress;
    progress.range = result.plan.range;
    progress.nextLba = cursor;
    progress.blocksDone = cursor - progress.range.first;
    progress.blockLength = result.plan.blockLength;
    progress.elapsedNanoseconds = clock.NowNanoseconds() - startedAt;
    const RunPace pace = MeasurePace(progress.blocksDone * progress.blockLength,
                                     progress.range.Blocks() * progress.blockLength, progress.elapsedNanoseconds);
    progress.bytesPerSecond = pace.unitsPerSecond;
    progress.secondsLeft = pace.secondsLeft;
    progress.method = sampler.Method();
    progress.sampling = !sampler.Settled();
    progress.failures = result.failures.size();
    progress.blocksNotRead = blocksNotRead;
    observer.ScanProgressed(drive, progress);
}

ScanResult SurfaceScan::Run()
{
    startedAt = clock.NowNanoseconds();
    if (!target.handle) return Fail("the drive is not open");
    if (target.blockLength == 0) return Fail("the drive's capacity is not known: it did not answer READ CAPACITY");
    std::string error;
    const std::optional<ScanRange> range = ResolveScanRange(request, target.lastLba, error);
    if (!range) return Fail(error);

    AdapterCapabilities capabilities;
    int errorCode = 0;
    const bool limitKnown = target.handle->QueryCapabilities(capabilities, errorCode);
    ScanResult result;
    result.outcome = ScanOutcome::Passed;
    result.plan = {*range, target.blockLength,
                   TransferBlocks(target.blockLength, limitKnown ? capabilities.maximumTransferLength : 0),
                   request.choice};
    const uint32_t transferBlocks = result.plan.transferBlocks;
    const uint64_t mostSkip = std::max<uint64_t>(transferBlocks, kMostSkipBytes / target.blockLength);
    observer.ScanStarted(drive, result.plan);

    Sampler sampler(request.choice, range->Blocks(), transferBlocks);
    if (sampler.Settled()) observer.MethodChosen(drive, sampler.Method(), std::nullopt);
    BlockCommands commands(target.handle, target.blockLength, transferBlocks);
    for (int probe = 0; !sampler.Settled() && probe < kSampleTransfers; ++probe) {
        if (stop.load()) return End(result, sampler, ScanOutcome::Stopped, range->first);
        const uint64_t lba = range->first + uint64_t{transferBlocks} * static_cast<uint64_t>(probe);
        const int64_t before = clock.NowNanoseconds();
        const bool read = commands.Issue(ScanMethod::Verify, lba, transferBlocks).read;
        if (commands.DriveLost()) return End(result, sampler, ScanOutcome::DriveLost, range->first);
        sampler.NoteProbe(read, uint64_t{transferBlocks} * target.blockLength, clock.NowNanoseconds() - before);
        Progress(result, range->first, sampler);
    }
    const NarrowingSinks sinks{[&](const ScanFailure& failure) {
                                   result.failures.push_back(failure);
                                   observer.BlockFailed(drive, failure);
                               },
                               [&](const ScanGap& gap) { AddGap(result, gap); }};

    uint64_t cursor = range->first;
    int deadInARow = 0;
    uint64_t skipBlocks = 0;
    while (cursor <= range->last) {
        if (stop.load()) {
            result.outcome = ScanOutcome::Stopped;
            result.resumeLba = cursor;
            break;
        }
        const ScanMethod method = sampler.Method();
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(transferBlocks, range->last - cursor + 1));
        const ScanRange transfer{cursor, cursor + count - 1};
        const int64_t before = clock.NowNanoseconds();
        const BlockResult answer = commands.Issue(method, cursor, count);
        const int64_t took = clock.NowNanoseconds() - before;
        if (commands.DriveLost()) {
            result.outcome = ScanOutcome::DriveLost;
            result.resumeLba = cursor;
            break;
        }
        if (answer.read) {
            result.blocksRead += count;
            deadInARow = 0;
            skipBlocks = 0;
        } else if (deadInARow >= kDeadTransfersBeforeSkipping) {
            // Still inside the damaged region: not worth narrowing down.
            ++deadInARow;
            AddGap(result, {transfer, GapReason::NotNarrowed});
        } else {
            const NarrowingResult narrowed = NarrowFailedTransfer(commands, method, transfer, answer, stop, sinks);
            result.blocksRead += narrowed.blocksRead;
            if (narrowed.endedAt) {
                result.outcome = narrowed.driveLost ? ScanOutcome::DriveLost : ScanOutcome::Stopped;
                result.resumeLba = *narrowed.endedAt;
                break;
            }
            deadInARow = narrowed.exhausted ? deadInARow + 1 : 0;
        }
        cursor = transfer.last + 1;
        if (sampler.Note(answer.read, uint64_t{count} * target.blockLength, took))
            observer.MethodChosen(drive, sampler.Method(), sampler.Sample());
        if (deadInARow >= kDeadTransfersBeforeSkipping && cursor <= range->last) {
            skipBlocks = skipBlocks == 0 ? transferBlocks : std::min(skipBlocks * 2, mostSkip);
            const uint64_t last = range->last - cursor < skipBlocks ? range->last : cursor + skipBlocks - 1;
            AddGap(result, {{cursor, last}, GapReason::Skipped});
            cursor = last + 1;
        }
        Progress(result, cursor, sampler);
    }

    if (result.outcome == ScanOutcome::Passed && (!result.failures.empty() || !result.gaps.empty()))
        result.outcome = ScanOutcome::Failed;
    return End(result, sampler, result.outcome, result.resumeLba);
}

ScanResult SurfaceScan::End(ScanResult& result, const Sampler& sampler, ScanOutcome outcome,
                            std::optional<uint64_t> resumeLba)
{
    result.outcome = outcome;
    result.resumeLba = resumeLba;
    result.method = sampler.Method();
    result.sample = sampler.Sample();
    result.elapsedNanoseconds = clock.NowNanoseconds() - startedAt;
    observer.ScanEnded(drive, result);
    return result;
}
