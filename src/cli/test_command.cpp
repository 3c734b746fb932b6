// kestrion-cli test: the legacy test suite on the named drives.
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "cli/plain_line_ends.h"
#include "cli/drive_report.h"
#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "legacytest/parallel_test_run.h"
#include "legacytest/test_run.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "platform/stop_signals.h"
#include "scsi/output_window.h"
#include "scsi/stop.h"
#include "scsi/tagged_output.h"

namespace {

struct TestOptions {
    bool quick = false;
    bool longer = false;
    std::string subtests;
    std::vector<std::string> drives;
    bool parallel = false;
};

// The running report on a stream, with plain line ends, from the worker.
class StreamOutput final : public OutputWindow {
public:
    explicit StreamOutput(std::ostream& out) : out_(out) {}
    void Append(std::string_view text) override
    {
        std::lock_guard lock(mutex_);
        lineEnds_.Write(out_, text);
    }

private:
    std::mutex mutex_;
    std::ostream& out_;
    PlainLineEnds lineEnds_;
};

Json DriveSummary(const DeviceCatalog& catalog, const DeviceEntry& entry, const LegacyRunReport& report,
                  bool passed)
{
    Json summary{{"drive", DriveJson(catalog, entry)}};
    const DriveRunOutcome* found = nullptr;
    for (const DriveRunOutcome& outcome : report.drives)
        if (outcome.path == entry.path) found = &outcome;
    if (found == nullptr) {
        summary.update({{"passed", false}, {"tested", false}, {"completed", false}, {"stopped", false},
                        {"result", nullptr}, {"ended_by", nullptr}, {"ended_by_name", nullptr},
                        {"settings_restored", true}, {"read_failures", Json::array()}});
        return summary;
    }
    const int endedBy = found->stopped ? found->sequence.current : found->sequence.endedBy;
    const bool named = endedBy >= 0 && endedBy < kSubtestCount;
    summary["passed"] = passed;
    summary["tested"] = true;
    summary["completed"] = found->sequence.Completed() && !found->stopped;
    summary["stopped"] = found->stopped;
    summary["result"] = found->stopped ? Json(nullptr) : Json(found->sequence.result);
    summary["ended_by"] = endedBy >= 0 ? Json(endedBy) : Json(nullptr);
    summary["ended_by_name"] = named ? Json(Subtests()[static_cast<size_t>(endedBy)].label) : Json(nullptr);
    summary["settings_restored"] = !found->sequence.settingsLeftChanged;
    Json failures = Json::array();
    for (const ReadFailure& failure : found->sequence.readFailures)
        failures.push_back({{"subtest", failure.subtest},
                            {"lba", failure.lba},
                            {"blocks", failure.blocks},
                            {"failing_lba", failure.failingLba ? Json(*failure.failingLba) : Json(nullptr)}});
    summary["read_failures"] = std::move(failures);
    return summary;
}

// Every named drive at once, each line of the report tagged with its drive,
// and at the end a result line per drive.
LegacyRunReport RunAtOnce(OutputWindow& output, const SubtestSelection& selection, const TestEnvironment& environment)
{
    const std::string prefix = environment.catalog ? environment.catalog->PathPrefix() : std::string();
    std::vector<std::unique_ptr<TaggedOutput>> tagged;
    ParallelTestRun run;
    run.Start(
        [&](size_t, const DeviceEntry& entry) {
            tagged.push_back(std::make_unique<TaggedOutput>(output, DrivePathForReport(entry.path, prefix)));
            return tagged.back().get();
        },
        selection, environment);
    run.Wait();
    // The drives' lines interleave: each drive's result closes the run.
    for (size_t index = 0; index < run.DriveCount(); ++index)
        tagged[index]->Append("Result: " + DriveResultText(run.DriveAt(index)) + "\n");
    return run.Report();
}

bool RanToTheEnd(const DeviceEntry& entry, const LegacyRunReport& report)
{
    for (const DriveRunOutcome& outcome : report.drives)
        if (outcome.path == entry.path)
            return outcome.sequence.Completed() && !outcome.stopped && !outcome.sequence.settingsLeftChanged;
    return false;
}

int RunTests(CliContext& context, const TestOptions& options)
{
    SubtestSelection selection = options.longer ? LongSelection() : QuickSelection();
    if (!options.subtests.empty()) {
        std::string error;
        if (!ParseSubtestList(options.subtests, selection, error)) {
            context.console->Message("--subtests: " + error);
            return kExitUsage;
        }
    }
    std::vector<DeviceEntry*> named;
    if (const int status = context.DiscoverNamed(options.drives, named); status != kExitOk) return status;
    // The named drives are the selected ones, as clicking their buttons would make them.
    for (const auto& slot : g_devices)
        if (slot) SetDeviceSelected(*slot, false);
    for (DeviceEntry* entry : named) SetDeviceSelected(*entry, true);

    // With --json standard output carries the summary alone; the report goes to stderr.
    std::ostream& reportStream = context.json ? context.console->err() : context.console->out();
    StreamOutput output(reportStream);
    SystemClock clock;
    std::unique_ptr<Keyboard> keyboard = MakeConsoleKeyboard();
    TestEnvironment environment;
    environment.clock = &clock;
    environment.keyboard = keyboard.get();
    environment.catalog = context.catalog.get();

    g_bStopRequested.store(0);
    // Before the workers start, which inherit the blocked signals.
    const StopSignals signals;
    LegacyRunReport report;
    if (options.parallel) {
        report = RunAtOnce(output, selection, environment);
    } else {
        LegacyTestRun run;
        // With --trace the core's console copy of the report is on already.
        run.Start(context.trace ? nullptr : &output, selection, environment);
        run.Wait();
        report = run.Report();
    }
    if (report.stopped) reportStream << "Stopped.\n";

    bool allEnded = !report.deviceError;
    Json summaries = Json::array();
    for (const auto& slot : g_devices) {
        if (!slot || !slot->selected) continue;
        const bool passed = RanToTheEnd(*slot, report);
        allEnded = passed && allEnded;
        summaries.push_back(DriveSummary(*context.catalog, *slot, report, passed));
    }
    context.result["stopped"] = report.stopped;
    context.result["drives"] = std::move(summaries);
    return allEnded ? kExitOk : kExitDeviceFailure;
}

}  // namespace

CLI::App* AddTestCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* command = parent.add_subcommand("test", "Run the legacy test suite on the named drives, one after another or (--parallel) all at once");
    auto options = std::make_shared<TestOptions>();
    auto* kind = command->add_option_group("subtests", "which subtests");
    kind->add_flag("--quick", options->quick, "Every subtest but the scan of the entire drive (command 101)");
    kind->add_flag("--long", options->longer, "All fourteen subtests (command 102)");
    kind->add_option("--subtests", options->subtests,
                     "The subtests by number, e.g. 0,4,11: 0 drive ready, 1 RAM, 2 format check, 3 diagnostics, "
                     "4 SMART, 5 physical heads, 6 error log, 7 random verify, 8 first 300MB, 9 last 100MB, "
                     "10 next to the defect lists, 11 entire drive, 12 error log again, 13 SMART again")
        ->check(kNotEmpty)
        ->type_name("LIST");
    kind->require_option(1);
    command->add_option("DRIVE", options->drives, kDriveHelp)->required()->check(kNotEmpty);
    command->add_flag("--parallel", options->parallel,
                      "Test every named drive at the same time, a worker each; each report line starts with its "
                      "drive's name");
    command->add_flag("--json", context.json, "Print a summary per drive as JSON on stdout (the report goes to stderr)");
    command->footer("Ctrl-C, SIGTERM or SIGHUP stops the run at each drive's next command, as STOP does, and "
                    "what the run changed is put back. Exit status 0 when every drive ran its sequence to the end, 1 "
                    "otherwise.");
    run = [options](CliContext& context) { return RunTests(context, *options); };
    return command;
}
