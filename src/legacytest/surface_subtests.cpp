// The subtests that read (and in one place write) the medium: physical
// heads, error log pages, random verify, the sequential scans and the
// sectors next to the defect lists.
#include <algorithm>
#include <memory>
#include <vector>

#include "legacytest/defect_lists.h"
#include "legacytest/error_counters.h"
#include "legacytest/media_verify.h"
#include "legacytest/sequence_run.h"
#include "scsi/report.h"
#include "scsi/string_format.h"

namespace {

constexpr uint64_t kFirstScanBlocks = 600000;  // 300 MB of 512-byte blocks
constexpr uint64_t kLastScanBlocks = 200000;   // 100 MB
constexpr uint64_t kEdgeScanBlocks = 50000;    // 25 MB
constexpr uint16_t kScanCount = 64;
constexpr uint16_t kMiddleScanCount = 32;
constexpr int kScanSeconds = 2;
constexpr int kMiddleScanSeconds = 1;
constexpr uint16_t kAdjacentBlocks = 3;
constexpr uint64_t kRandomReads = 9500;  // 50 + 100 + ... + 950

unsigned long Long(uint32_t value) { return value; }

}  // namespace

SequenceRun::Step SequenceRun::Capacity(int subtest)
{
    if (ReadCapacityForTest(output, context.lastLba, context.blockLength, context) != kCapacityContinue) return subtest;
    context.workspace.lastLba = context.lastLba;
    context.workspace.blockLength = context.blockLength;
    if (context.lastLba == 0) {
        ReportBlock(output, "Capacity ZERO, drive probably not present");
        return subtest;
    }
    return std::nullopt;
}

SequenceRun::Step SequenceRun::Scan(int subtest, uint64_t until, uint64_t lastBlock, uint16_t count, int seconds,
                                    const char* failure, bool escapeEnds)
{
    // Each transfer is timed, so the estimates come from what this run read
    // and a window sees the scan move within a slice. The time runs from one
    // mark to the next: no millisecond is lost to rounding or between slices.
    int64_t mark = context.clock.NowMilliseconds();
    while (context.working < until) {
        const int result =
            VerifySequentialSlice(context, context.working, lastBlock, count, seconds, [&](uint64_t blocks) {
                const int64_t now = context.clock.NowMilliseconds();
                progress.Scanned(blocks * context.BytesPerBlock(), now - mark);
                progress.Advance(blocks);
                mark = now;
            });
        if (result < kSliceTimeUsedUp) {
            ReportBlock(output, failure);
            ReportReadFailure(subtest);
            return subtest;
        }
        if (Escape() && escapeEnds) return kSequenceEscape;
        if (result == kSliceLimitReached) break;
    }
    return std::nullopt;
}

void SequenceRun::ReportReadFailure(int subtest)
{
    if (!context.lastReadFailure) return;
    ReadFailure failure = *context.lastReadFailure;
    context.lastReadFailure.reset();
    failure.subtest = subtest;
    const auto first = static_cast<unsigned long long>(failure.lba);
    const auto last = static_cast<unsigned long long>(failure.lba + (failure.blocks > 0 ? failure.blocks - 1 : 0));
    if (failure.failingLba)
        ReportBlock(output, StringPrintf("Read of LBA %llu to %llu failed, failing LBA %llu", first, last,
                                         static_cast<unsigned long long>(*failure.failingLba))
                                .c_str());
    else
        ReportBlock(output, StringPrintf("Read of LBA %llu to %llu failed", first, last).c_str());
    outcome.readFailures.push_back(failure);
}

SequenceRun::Step SequenceRun::PhysicalHeads()
{
    ReportLine(output, "Begin physical heads check");
    CountHeads(context.workspace, context);
    if (CheckPhysicalHeads(context.workspace, context, 1, 0, context.BytesPerBlock()) == kHeadsFailed)
        return kSubtestPhysicalHeads;
    ReportLine(output, "Finished physical heads check");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::ErrorLog(int subtest)
{
    const bool first = subtest == kSubtestErrorLog;
    ReportLine(output, first ? "Begin error log pages read" : "Begin recheck of error log");
    if (CheckErrorCounterPages(output, context) != kErrorCountersPass) return subtest;
    ReportLine(output, first ? "Finished error log pages read" : "Finished recheck of error log");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::RandomVerify()
{
    ReportLine(output, "Begin random verify");
    if (const Step step = Capacity(kSubtestRandomVerify)) return step;
    progress.Count(kRandomReads, context.BytesPerBlock(), false);
    for (int reads = 50; reads < 1000; reads += 50) {
        if (VerifyRandomBlocks(context, context.workspace, reads) < kSliceTimeUsedUp) {
            ReportBlock(output, "Read Random Test Error");
            ReportReadFailure(kSubtestRandomVerify);
            return kSubtestRandomVerify;
        }
        progress.Advance(static_cast<uint64_t>(reads));
        if (Escape()) return kSequenceEscape;
    }
    ReportLine(output, "Finished random verify");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::First300MB()
{
    ReportLine(output, "Begin ID scan");
    if (const Step step = Capacity(kSubtestFirst300MB)) return step;
    // The slice that crosses the 300 MB runs to the end of its time.
    context.working = 0;
    progress.Count(std::min(kFirstScanBlocks, context.lastLba + 1), context.BytesPerBlock(), true);
    if (const Step step = Scan(kSubtestFirst300MB, kFirstScanBlocks, context.lastLba, kScanCount, kScanSeconds,
                               "Read Entire Disk Test Error, ID pre calc"))
        return step;
    ReportLine(output, "Finished ID scan");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::Last100MB()
{
    ReportLine(output, "Begin OD scan");
    if (const Step step = Capacity(kSubtestLast100MB)) return step;
    // A drive of fewer blocks has no last 100 MB apart from its first; keys
    // are read here and ignored, Escape too.
    if (context.lastLba >= kLastScanBlocks) {
        context.working = context.lastLba - kLastScanBlocks;
        progress.Count(kLastScanBlocks + 1, context.BytesPerBlock(), true);
        if (const Step step = Scan(kSubtestLast100MB, context.lastLba + 1, context.lastLba, kScanCount, kScanSeconds,
                                   "Read OD Scan Test Error", false))
            return step;
    }
    ReportLine(output, "Finished OD scan");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::DefectAdjacent()
{
    ReportLine(output, "Begin Verify Sect Adj to P & G List");
    context.errorBudget = kInitialErrorBudget;
    if (const Step step = Capacity(kSubtestDefectAdjacent)) return step;

    std::vector<uint8_t> list(kDefectListAllocation);
    // A list the drive would not give is an empty list: the buffer's
    // contents mean nothing then.
    std::vector<PhysicalDefect> defects;
    size_t received = 0;
    if (ReadDefectLists(context, list, kDefectListAllocation, &received) == kDefectReadOk)
        defects = DecodePhysicalDefectList(std::span<const uint8_t>(list).first(received));
    std::vector<uint8_t> work(size_t{kAdjacentBlocks} * context.BytesPerBlock());

    for (const PhysicalDefect& defect : defects) {
        // A whole track is defective (SBC-3): it has no sector next to it.
        if (defect.sector == kWholeTrackDefect) continue;
        // The whole sector field: the block before the defect, or sector 1
        // of the track when the defect is its first sector.
        const uint32_t target = defect.sector == 0 ? 1 : defect.sector - 1;
        uint32_t lba = 0;
        if (PhysToLBA(defect.cylinder, defect.head, target, lba, context, 0) != kTranslateOk) {
            ReportBlock(output, "Sector Adjacent to P&G List Failure. ");
            ReportBlock(output, StringPrintf("Converting chs to lba Failure, %lx, %x, %lx, defect(*8)=%x",
                                             Long(defect.cylinder), static_cast<unsigned>(defect.head), Long(target),
                                             defect.offset)
                                    .c_str());
            return kSubtestDefectAdjacent;
        }
        if (lba >= context.lastLba) continue;
        // Three blocks, or fewer where the medium ends before the third.
        const auto count = static_cast<uint16_t>(std::min<uint64_t>(kAdjacentBlocks, context.lastLba - lba + 1));
        if (ReadBlocksInto(context, lba, work, count) != kReadOk) {
            ReportBlock(output, "Sector Adjacent to P&G List Failure\n");
            ReportBlock(output, StringPrintf("read block Failure, %lx, %x, %lx\nLBA=%lx defect(*8)=%x",
                                             Long(defect.cylinder), static_cast<unsigned>(defect.head), Long(target),
                                             Long(lba - 1), defect.offset)
                                    .c_str());
            ReportReadFailure(kSubtestDefectAdjacent);
            // Twenty failures are tolerated, and one more; the 22nd ends it.
            if (context.errorBudget < 0) return kSubtestDefectAdjacent;
            --context.errorBudget;
        }
        if (Escape()) return kSequenceEscape;
    }
    ReportLine(output, "Finished Verify Sect Adj to P & G List");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::EntireScan()
{
    ReportLine(output, "Begin Scan of Entire Drive");
    if (const Step step = Capacity(kSubtestEntireScan)) return step;
    const uint64_t lastLba = context.lastLba;
    progress.Count(lastLba + 1, context.BytesPerBlock(), true);

    // Three parts that meet without overlapping, each read to its own last
    // block, so a failure is reported under the part that holds it.
    if (lastLba >= kEdgeScanBlocks) {
        context.working = lastLba - kEdgeScanBlocks;
        if (const Step step = Scan(kSubtestEntireScan, lastLba + 1, lastLba, kScanCount, kScanSeconds,
                                   "OD Scan of 25MB error, OD pre calc"))
            return step;
    }
    context.working = 0;
    if (const Step step = Scan(kSubtestEntireScan, kEdgeScanBlocks, std::min<uint64_t>(kEdgeScanBlocks - 1, lastLba),
                               kScanCount, kScanSeconds, "ID Scan of 25MB error, ID pre calc"))
        return step;

    // The middle still to read, at the rate this run's scans have read so far.
    const uint64_t middleEnd = lastLba > 2 * kEdgeScanBlocks ? lastLba - kEdgeScanBlocks : kEdgeScanBlocks;
    ReportBlock(output, ScanEstimateText(progress.Read().SecondsFor(middleEnd - kEdgeScanBlocks)).c_str());

    context.working = kEdgeScanBlocks;
    if (lastLba > 2 * kEdgeScanBlocks) {
        if (const Step step = Scan(kSubtestEntireScan, middleEnd, middleEnd - 1, kMiddleScanCount, kMiddleScanSeconds,
                                   "ID Scan Test Error"))
            return step;
    }
    ReportLine(output, "Finish Scan of Entire Drive");
    return std::nullopt;
}
