// kestrion-cli scan: the surface scan of the named drives, one after another or all at once.
#include <unistd.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "cli/drive_report.h"
#include "cli/json_events.h"
#include "cli/progress_lines.h"
#include "cli/scan_console.h"
#include "drives/device_entry.h"
#include "platform/monotonic_clock.h"
#include "platform/stop_signals.h"
#include "scan/scan_run.h"

namespace {

struct ScanOptions {
    std::vector<std::string> drives;
    bool read = false;
    bool verify = false;
    std::optional<uint64_t> from;
    std::optional<uint64_t> to;
    bool jsonLines = false;
    bool parallel = false;
};

// The named drives to scan; an exit status when one cannot be scanned at all.
std::optional<int> FindTargets(CliContext& context, const ScanOptions& options, const ScanRequest& request,
                               std::vector<DeviceEntry*>& entries, std::vector<ScanTarget>& targets)
{
    if (const int status = context.DiscoverNamed(options.drives, entries); status != kExitOk) return status;
    for (const DeviceEntry* entry : entries) {
        std::string error;
        if (entry->blockLength != 0 && !ResolveScanRange(request, entry->lastLba, error)) {
            context.console->Message(entry->path + ": " + error + " (--from, --to)");
            return kExitUsage;
        }
        targets.push_back({entry->path, entry->handle, entry->lastLba, entry->blockLength});
    }
    return std::nullopt;
}

int RunScan(CliContext& context, const ScanOptions& options)
{
    ScanRequest request;
    request.from = options.from;
    request.to = options.to;
    request.choice = options.read ? MethodChoice::Read : options.verify ? MethodChoice::Verify : MethodChoice::Faster;
    if (request.from && request.to && *request.from > *request.to) {
        context.console->Message("--from " + std::to_string(*request.from) + " is after --to " +
                                 std::to_string(*request.to));
        return kExitUsage;
    }
    std::vector<DeviceEntry*> entries;
    std::vector<ScanTarget> targets;
    if (const auto status = FindTargets(context, options, request, entries, targets)) return *status;

    // Programs read standard output; people then follow on standard error.
    const bool machine = context.json || options.jsonLines;
    std::ostream& people = machine ? context.console->err() : context.console->out();
    ProgressLines::Style style = ProgressLines::StyleFor(machine ? STDERR_FILENO : STDOUT_FILENO);
    // Lines rewritten in place would tear through events on the same terminal.
    if (machine && isatty(STDOUT_FILENO) == 1) style.terminal = false;
    std::vector<std::string> paths;
    std::vector<std::string> labels;
    for (const ScanTarget& target : targets) {
        paths.push_back(target.path);
        labels.push_back(target.path + ": ");
    }
    SteadyMonotonicClock clock;
    ProgressLines lines(people, labels, clock, style);
    std::optional<JsonEventWriter> events;
    if (options.jsonLines) events.emplace(context.console->out());
    ScanConsole console(paths, &lines, events ? &*events : nullptr);

    ScanRun run(std::move(targets), request, clock, console, options.parallel);
    {
        // Before the workers start, which inherit the blocked signals.
        const StopSignals signals([&run] { run.StopAll(); });
        run.Start();
        run.Wait();
    }
    lines.Finish();

    int exitStatus = kExitOk;
    Json drives = Json::array();
    for (size_t drive = 0; drive < run.Size(); ++drive) {
        people << ScanSummaryText(run.Target(drive).path, run.Result(drive));
        if (run.Result(drive).outcome != ScanOutcome::Passed) exitStatus = kExitDeviceFailure;
        drives.push_back(ScanDriveJson(DriveJson(*context.catalog, *entries[drive]), run.Result(drive)));
    }
    people.flush();
    context.result["drives"] = std::move(drives);
    return exitStatus;
}

}  // namespace

CLI::App* AddScanCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* command = parent.add_subcommand(
        "scan", "Read or verify every block of the named drives and list every block that fails");
    auto options = std::make_shared<ScanOptions>();
    command->add_option("DRIVE", options->drives, kDriveHelp)->required()->check(kNotEmpty);
    auto* method = command->add_option_group("method", "READ or VERIFY");
    method->add_flag("--read", options->read, "READ every block into the host's memory");
    method->add_flag("--verify", options->verify, "VERIFY every block inside the drive, no data moved");
    method->require_option(0, 1);
    command->add_option("--from", options->from, "The first LBA to scan (default 0)")->type_name("LBA");
    command->add_option("--to", options->to, "The last LBA to scan (default: the drive's last)")->type_name("LBA");
    auto* json = command->add_flag("--json", context.json,
                                   "Print every drive's result as JSON on stdout at the end (people's output goes to stderr)");
    command->add_flag("--json-lines", options->jsonLines,
                      "Print one JSON event a line on stdout as the scans go: start, method, progress, failure, "
                      "not_read, end")
        ->excludes(json);
    command->add_flag("--parallel", options->parallel,
                      "Scan every named drive at the same time, one worker per drive (default: one after another)");
    command->footer(
        "Without --read or --verify the scan samples both and takes the faster. Ctrl-C, SIGTERM or SIGHUP stop every "
        "drive's scan at its next command, and each prints the LBA to resume from with --from. Exit status 0 when "
        "every block read, 1 when one did not or was not reached.");
    run = [options](CliContext& context) { return RunScan(context, *options); };
    return command;
}
