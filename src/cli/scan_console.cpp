#include "cli/scan_console.h"

#include "drives/run_pace.h"
#include "scan/scan_messages.h"

namespace {

using Json = nlohmann::ordered_json;

const char* MethodKey(ScanMethod method) { return method == ScanMethod::Read ? "read" : "verify"; }

const char* ChoiceKey(MethodChoice choice)
{
    switch (choice) {
    case MethodChoice::Read:
        return "read";
    case MethodChoice::Verify:
        return "verify";
    case MethodChoice::Faster:
        break;
    }
    return "faster";
}

const char* OutcomeKey(ScanOutcome outcome)
{
    switch (outcome) {
    case ScanOutcome::Passed:
        return "passed";
    case ScanOutcome::Failed:
        return "failed";
    case ScanOutcome::Stopped:
        return "stopped";
    case ScanOutcome::DriveLost:
        return "drive_lost";
    case ScanOutcome::DriveError:
        break;
    }
    return "drive_error";
}

Json Optional(const std::optional<double>& value) { return value ? Json(*value) : Json(nullptr); }

Json FailureJson(const ScanFailure& failure)
{
    return {{"lba", failure.lba},
            {"reached_drive", failure.reachedDrive},
            {"status", failure.status},
            {"sense_key", failure.sense.senseKey},
            {"asc", failure.sense.asc},
            {"ascq", failure.sense.ascq},
            {"text", FailureText(failure)}};
}

Json GapJson(const ScanGap& gap)
{
    return {{"first_lba", gap.range.first},
            {"last_lba", gap.range.last},
            {"blocks", gap.range.Blocks()},
            {"reason", gap.reason == GapReason::Skipped ? "skipped" : "not_narrowed"}};
}

// The drive's key first, then the event's own.
Json WithDrive(const std::string& path, const Json& fields)
{
    Json json{{"drive", path}};
    for (const auto& [key, value] : fields.items()) json[key] = value;
    return json;
}

Json SampleJson(const std::optional<MethodSample>& sample)
{
    if (!sample) return nullptr;
    return {{"read_bytes_per_second", sample->readBytesPerSecond},
            {"verify_bytes_per_second", sample->verifyBytesPerSecond}};
}

}  // namespace

Json ScanResultJson(const ScanResult& result)
{
    Json json;
    json["outcome"] = OutcomeKey(result.outcome);
    const bool began = result.outcome != ScanOutcome::DriveError;
    json["error"] = began ? Json(nullptr) : Json(result.error);
    json["first_lba"] = began ? Json(result.plan.range.first) : Json(nullptr);
    json["last_lba"] = began ? Json(result.plan.range.last) : Json(nullptr);
    json["block_length"] = began ? Json(result.plan.blockLength) : Json(nullptr);
    json["transfer_blocks"] = began ? Json(result.plan.transferBlocks) : Json(nullptr);
    json["method"] = began ? Json(MethodKey(result.method)) : Json(nullptr);
    json["sample"] = SampleJson(result.sample);
    json["blocks_read"] = result.blocksRead;
    json["elapsed_seconds"] = static_cast<double>(result.elapsedNanoseconds) / 1e9;
    Json failures = Json::array();
    for (const ScanFailure& failure : result.failures) failures.push_back(FailureJson(failure));
    json["failures"] = std::move(failures);
    Json gaps = Json::array();
    for (const ScanGap& gap : result.gaps) gaps.push_back(GapJson(gap));
    json["not_read"] = std::move(gaps);
    json["resume_lba"] = result.resumeLba ? Json(*result.resumeLba) : Json(nullptr);
    return json;
}

nlohmann::ordered_json ScanDriveJson(nlohmann::ordered_json drive, const ScanResult& result)
{
    Json json{{"drive", std::move(drive)}};
    const Json fields = ScanResultJson(result);
    for (const auto& [key, value] : fields.items()) json[key] = value;
    return json;
}

std::string ScanSummaryText(const std::string& path, const ScanResult& result)
{
    std::string text = path + ": " + EndText(result);
    if (result.resumeLba) text += " (--from " + std::to_string(*result.resumeLba) + ")";
    text += '\n';
    for (const ScanFailure& failure : result.failures) text += "    " + FailureText(failure) + '\n';
    for (const ScanGap& gap : result.gaps) text += "    " + GapText(gap) + '\n';
    return text;
}

ScanConsole::ScanConsole(std::vector<std::string> paths, ProgressLines* people, JsonEventWriter* events)
    : paths(std::move(paths)), people(people), events(events), eventAt(this->paths.size(), 0), lineAt(this->paths.size(), INT64_MIN)
{
}

bool ScanConsole::Due(int64_t& last, int64_t now, int64_t period)
{
    std::lock_guard lock(mutex);
    if (last != INT64_MIN && now - last < period) return false;
    last = now;
    return true;
}

Json ScanConsole::Drive(size_t drive) const { return {{"drive", paths[drive]}}; }

void ScanConsole::ScanStarted(size_t drive, const ScanPlan& plan)
{
    if (people) {
        people->Note(paths[drive] + ": LBA " + std::to_string(plan.range.first) + " to " +
                     std::to_string(plan.range.last) + ", " + std::to_string(plan.transferBlocks) + " blocks of " +
                     std::to_string(plan.blockLength) + " bytes a command");
        people->Update(drive, "starting");
    }
    if (!events) return;
    Json fields = Drive(drive);
    fields["first_lba"] = plan.range.first;
    fields["last_lba"] = plan.range.last;
    fields["block_length"] = plan.blockLength;
    fields["transfer_blocks"] = plan.transferBlocks;
    fields["method_choice"] = ChoiceKey(plan.choice);
    events->Write("start", fields);
}

void ScanConsole::MethodChosen(size_t drive, ScanMethod method, const std::optional<MethodSample>& sample)
{
    if (people) {
        std::string text = paths[drive] + ": by " + MethodName(method);
        if (sample)
            text += " (samples: READ " + RateText(sample->readBytesPerSecond) + ", VERIFY " +
                    RateText(sample->verifyBytesPerSecond) + ")";
        people->Note(text);
    }
    if (!events) return;
    Json fields = Drive(drive);
    fields["method"] = MethodKey(method);
    fields["sample"] = SampleJson(sample);
    events->Write("method", fields);
}

void ScanConsole::ScanProgressed(size_t drive, const ScanProgress& progress)
{
    const int64_t now = progress.elapsedNanoseconds;
    if (people && Due(lineAt[drive], now, kLinePeriodNanoseconds)) people->Update(drive, ProgressText(progress));
    if (!events || !Due(eventAt[drive], now, kEventPeriodNanoseconds)) return;
    Json fields = Drive(drive);
    fields["next_lba"] = progress.nextLba;
    fields["blocks_done"] = progress.blocksDone;
    fields["blocks_total"] = progress.range.Blocks();
    fields["percent"] = PercentDone(progress);
    fields["method"] = progress.sampling ? Json(nullptr) : Json(MethodKey(progress.method));
    fields["bytes_per_second"] = Optional(progress.bytesPerSecond);
    fields["seconds_left"] = Optional(progress.secondsLeft);
    fields["failures"] = progress.failures;
    fields["blocks_not_read"] = progress.blocksNotRead;
    fields["elapsed_seconds"] = static_cast<double>(progress.elapsedNanoseconds) / 1e9;
    events->Write("progress", fields);
}

void ScanConsole::BlockFailed(size_t drive, const ScanFailure& failure)
{
    if (people) people->Note(paths[drive] + ": " + FailureText(failure));
    if (!events) return;
    events->Write("failure", WithDrive(paths[drive], FailureJson(failure)));
}

void ScanConsole::BlocksNotRead(size_t drive, const ScanGap& gap)
{
    if (people) people->Note(paths[drive] + ": " + GapText(gap));
    if (!events) return;
    events->Write("not_read", WithDrive(paths[drive], GapJson(gap)));
}

void ScanConsole::ScanEnded(size_t drive, const ScanResult& result)
{
    if (people) people->Update(drive, EndText(result));
    if (!events) return;
    events->Write("end", WithDrive(paths[drive], ScanResultJson(result)));
}
