#include "scan/scan_messages.h"

#include "drives/run_pace.h"
#include "scsi/scsi_request.h"
#include "scsi/string_format.h"

namespace {

using Lba = unsigned long long;

std::string RangeText(const ScanRange& range)
{
    if (range.first == range.last) return StringPrintf("LBA %llu", Lba{range.first});
    return StringPrintf("LBA %llu to %llu", Lba{range.first}, Lba{range.last});
}

std::string Blocks(uint64_t count) { return StringPrintf(count == 1 ? "%llu block" : "%llu blocks", Lba{count}); }

std::string SpeedText(const ScanResult& result)
{
    const double seconds = static_cast<double>(result.elapsedNanoseconds) / 1e9;
    std::string text = "in " + DurationText(seconds);
    const uint64_t bytes = (result.resumeLba ? *result.resumeLba - result.plan.range.first
                                             : result.plan.range.Blocks()) *
                           result.plan.blockLength;
    if (seconds > 0) text += ", " + RateText(static_cast<double>(bytes) / seconds);
    return text;
}

}  // namespace

const char* MethodName(ScanMethod method) { return method == ScanMethod::Read ? "READ" : "VERIFY"; }

std::string FailureText(const ScanFailure& failure)
{
    const std::string where = StringPrintf("LBA %llu: ", Lba{failure.lba});
    if (!failure.reachedDrive) return where + "the command did not reach the drive";
    if (failure.status == kStatusGood) return where + "GOOD status, but not all the data arrived";
    if (failure.status != kStatusCheckCondition) return where + StringPrintf("status %02Xh", failure.status);
    return where + StringPrintf("%s, ASC %02Xh, ASCQ %02Xh", SenseKeyName(failure.sense.senseKey), failure.sense.asc,
                                failure.sense.ascq);
}

std::string GapText(const ScanGap& gap)
{
    const char* why = gap.reason == GapReason::Skipped
                          ? "skipped: the transfers around them failed too often to stop at each"
                          : "too many failures here to narrow them down";
    return RangeText(gap.range) + " (" + Blocks(gap.range.Blocks()) + ") not read: " + why;
}

double PercentDone(const ScanProgress& progress)
{
    return 100.0 * static_cast<double>(progress.blocksDone) / static_cast<double>(progress.range.Blocks());
}

std::string ProgressText(const ScanProgress& progress)
{
    std::string text = StringPrintf("%5.1f%%  LBA %llu  %s", PercentDone(progress), Lba{progress.nextLba},
                                    progress.sampling ? "READ or VERIFY?" : MethodName(progress.method));
    if (progress.bytesPerSecond)
        text += "  " + RateText(*progress.bytesPerSecond) + "  " + DurationText(progress.secondsLeft.value_or(0)) +
                " left";
    else
        text += "  measuring";
    if (progress.failures > 0) text += StringPrintf("  %zu failed", progress.failures);
    if (progress.blocksNotRead > 0) text += StringPrintf("  %llu not read", Lba{progress.blocksNotRead});
    return text;
}

std::string EndText(const ScanResult& result)
{
    const std::string scanned = RangeText(result.plan.range) + " by " + MethodName(result.method);
    switch (result.outcome) {
    case ScanOutcome::Passed:
        return "passed: every block of " + RangeText(result.plan.range) + " read by " + MethodName(result.method) +
               ", " + SpeedText(result);
    case ScanOutcome::Failed: {
        uint64_t notRead = 0;
        for (const ScanGap& gap : result.gaps) notRead += gap.range.Blocks();
        std::string text = "failed: " + Blocks(result.failures.size()) + " did not read";
        if (notRead > 0) text += ", " + Blocks(notRead) + " not read";
        return text + "; " + scanned + ", " + SpeedText(result);
    }
    case ScanOutcome::Stopped:
        return StringPrintf("stopped: resume from LBA %llu", Lba{*result.resumeLba});
    case ScanOutcome::DriveLost:
        return StringPrintf("the drive stopped answering: resume from LBA %llu", Lba{*result.resumeLba});
    case ScanOutcome::DriveError:
        break;
    }
    return "not scanned: " + result.error;
}
