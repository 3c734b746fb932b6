// kestrion-cli scan: the surface scan of the named drives, all at once.
#include <unistd.h>

#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
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
    bool json = false;
    bool jsonLines = false;
    bool parallel = false;
};

// The drives to scan, as discovery found them; an exit status when one
// cannot be scanned at all.
std::optional<int> FindTargets(CliContext& context, const ScanOptions& options, const ScanRequest& request,
                               std::vector<ScanTarget>& targets)
{
    std::set<std::string> named;
    for (const std::string& drive : options.drives) {
        int status = kExitOk;
        const DeviceEntry* entry = context.FindDrive(drive, status);
        if (entry == nullptr) return status;
        // Two workers on one drive would each scan half as fast and list every failure twice.
        if (!named.insert(entry->path).second) {
            context.console->err() << "kestrion-cli: " << entry->path << " is named twice\n";
            return kExitUsage;
        }
        std::string error;
        if (entry->blockLength != 0 && !ResolveScanRange(request, entry->lastLba, error)) {
            context.console->err() << "kestrion-cli: " << entry->path << ": " << error << " (--from, --to)\n";
            return kExitUsage;
        }
        targets.push_back({entry->path, entry->handle, entry->lastLba, entry->blockLength});
    }
    return std::nullopt;
}

nlohmann::ordered_json Summary(const ScanRun& run)
{
    nlohmann::ordered_json drives = nlohmann::ordered_json::array();
    for (size_t drive = 0; drive < run.Size(); ++drive)
        drives.push_back(ScanDriveJson(run.Target(drive).path, run.Result(drive)));
    return {{"drives", std::move(drives)}};
}

int RunScan(CliContext& context, const ScanOptions& options)
{
    ScanRequest request;
    request.from = options.from;
    request.to = options.to;
    request.choice = options.read ? MethodChoice::Read : options.verify ? MethodChoice::Verify : MethodChoice::Faster;
    if (request.from && request.to && *request.from > *request.to) {
        context.console->err() << "kestrion-cli: --from " << *request.from << " is after --to " << *request.to << '\n';
        return kExitUsage;
    }
    if (const int status = context.Discover(); status != kExitOk) return status;
    std::vector<ScanTarget> targets;
    if (const auto status = FindTargets(context, options, request, targets)) return *status;

    // Programs read standard output; people then follow on standard error.
    const bool machine = options.json || options.jsonLines;
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
    for (size_t drive = 0; drive < run.Size(); ++drive) {
        people << ScanSummaryText(run.Target(drive).path, run.Result(drive));
        if (run.Result(drive).outcome != ScanOutcome::Passed) exitStatus = kExitDeviceFailure;
    }
    people.flush();
    if (options.json) context.console->out() << Summary(run).dump(2) << '\n';
    return exitStatus;
}

}  // namespace

CLI::App* AddScanCommand(CLI::App& parent, CliContext&, CliRun& run)
{
    auto* command = parent.add_subcommand(
        "scan", "Read or verify every block of the named drives and list every block that fails");
    auto options = std::make_shared<ScanOptions>();
    command->add_option("DRIVE", options->drives, "Device path or drive number")->required()->check(kNotEmpty);
    auto* method = command->add_option_group("method", "READ or VERIFY");
    method->add_flag("--read", options->read, "READ every block into the host's memory");
    method->add_flag("--verify", options->verify, "VERIFY every block inside the drive, no data moved");
    method->require_option(0, 1);
    command->add_option("--from", options->from, "The first LBA to scan (default 0)")->type_name("LBA");
    command->add_option("--to", options->to, "The last LBA to scan (default: the drive's last)")->type_name("LBA");
    auto* json = command->add_flag("--json", options->json,
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
