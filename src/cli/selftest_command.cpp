// kestrion-cli selftest: the "DST Results" dialog's run without a display.
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "cli/plain_line_ends.h"
#include "cli/drive_report.h"
#include "drives/device_table.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "platform/stop_signals.h"
#include "platform/user_prompts.h"
#include "scsi/output_window.h"
#include "scsi/stop.h"
#include "selftest/dst_drive_context.h"
#include "selftest/dst_log.h"
#include "selftest/dst_run.h"

namespace {

constexpr auto kStopCheck = std::chrono::milliseconds(100);

struct SelfTestOptions {
    bool quick = false;
    bool advanced = false;
    bool both = false;
    bool all = false;
    std::vector<std::string> drives;
    std::string log;
    int pollSeconds = kDstTimerMilliseconds / 1000;
};

// The run's report, progress and log rows on the terminal. A progress line
// on a terminal is rewritten in place until other output comes.
class TerminalHost final : public DstRunHost, public OutputWindow {
public:
    TerminalHost(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

    void Append(std::string_view text) override
    {
        EndStatusLine();
        lineEnds_.Write(out_, text);
    }
    void SetProgress(int percent) override { progress_ = percent; }
    void EnableStart(bool) override {}
    void SetTimer() override {}
    void KillTimer() override {}
    void LogRowsWritten(const std::string& path, const std::vector<std::string>& rows, bool written) override
    {
        EndStatusLine();
        out_ << (written ? "DST log " : "Not written to the DST log ") << path << ":\n";
        for (const std::string& row : rows) out_ << "  " << row << '\n';
        out_.flush();
    }

    // Overall and per-drive progress after a tick.
    void ShowProgress(const DstRun& run, const std::string& pathPrefix)
    {
        std::string line = "[" + std::to_string(progress_) + "%]";
        for (auto& slot : g_devices) {
            if (!slot || !run.TakesPart(*slot)) continue;
            line += " " + PathWithoutPrefix(slot->path, pathPrefix) + " ";
            line += slot->underTest ? std::to_string(slot->testState.load()) + "%" : std::string("idle");
        }
        if (terminal_) {
            out_ << '\r' << line << "\033[K";
            statusLine_ = true;
        } else {
            out_ << line << '\n';
        }
        out_.flush();
    }

private:
    void EndStatusLine()
    {
        if (!statusLine_) return;
        out_ << '\n';
        statusLine_ = false;
    }

    std::ostream& out_;
    bool terminal_;
    bool statusLine_ = false;
    PlainLineEnds lineEnds_;
    int progress_ = 0;
};

class StderrPrompts final : public UserPrompts {
public:
    explicit StderrPrompts(Console& console) : console_(console) {}
    void Message(const std::string& text, const std::string&, Icon) override { console_.Message(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&, const std::string&, bool) override
    {
        return std::nullopt;
    }

private:
    Console& console_;
};

// Waits one poll period; false when a stop was asked for meanwhile.
bool WaitForTick(int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (g_bStopRequested.load() != 0) return false;
        std::this_thread::sleep_for(kStopCheck);
    }
    return g_bStopRequested.load() == 0;
}

// Every drive, or the named ones alone (and only they are opened).
int SelectDrives(CliContext& context, const SelfTestOptions& options)
{
    if (options.all) return context.DiscoverAll();
    std::vector<DeviceEntry*> chosen;
    if (const int status = context.DiscoverNamed(options.drives, chosen); status != kExitOk) return status;
    for (auto& slot : g_devices)
        if (slot) SetDeviceSelected(*slot, false);
    for (DeviceEntry* entry : chosen) SetDeviceSelected(*entry, true);
    return kExitOk;
}

// Every drive that took part passed every kind of test the run asked for.
// One line per drive on `out`, and the same in JSON.
bool EveryDrivePassed(CliContext& context, const DstRun& run, int mode, std::ostream& out)
{
    const std::string pathPrefix = context.catalog->PathPrefix();
    bool passed = true;
    Json drives = Json::array();
    for (auto& slot : g_devices) {
        if (!slot || !run.TakesPart(*slot)) continue;
        const DeviceEntry& entry = *slot;
        std::string verdicts;
        Json drive{{"drive", DriveJson(*context.catalog, entry)}, {"passed", true}, {"quick", nullptr},
                   {"advanced", nullptr}};
        const auto judge = [&](const char* kind, uint8_t status, const std::string& result) {
            passed = passed && status == 1;
            drive["passed"] = drive["passed"].get<bool>() && status == 1;
            const char* verdict = status == 1 ? "passed" : status == 2 ? "failed" : "no_result";
            drive[kind] = {{"status", verdict}, {"result", result.empty() ? Json(nullptr) : Json(result)}};
            verdicts += std::string(verdicts.empty() ? "" : "; ") + kind + " " +
                        (status == 1 ? "passed" : status == 2 ? "FAILED" : "no result");
            if (status != 1 && !result.empty()) verdicts += " (" + result + ")";
        };
        if (mode != kDstModeAdvanced) judge("quick", entry.dstQuickStatus, entry.dstQuickResult);
        if (mode != kDstModeQuick) judge("advanced", entry.dstAdvStatus, entry.dstAdvResult);
        out << PathWithoutPrefix(entry.path, pathPrefix) << ": " << verdicts << '\n';
        drives.push_back(std::move(drive));
    }
    context.result["drives"] = std::move(drives);
    return passed;
}

int RunSelfTests(CliContext& context, const SelfTestOptions& options)
{
    // With --json standard output carries the document alone; the report goes to stderr.
    std::ostream& out = context.json ? context.console->err() : context.console->out();
    const int outFile = context.json ? STDERR_FILENO : STDOUT_FILENO;
    if (const int status = SelectDrives(context, options); status != kExitOk) return status;
    if (!options.all && !AnyDeviceSelected()) {
        context.console->Message("NO Drive Selected for Test");
        return kExitDeviceFailure;
    }
    if (!options.log.empty()) {
        std::string error;
        if (!PrepareDstLogFile(options.log, error)) {
            context.console->Message(error);
            return kExitUsage;
        }
        g_strDstLogPath = options.log;
    }
    context.result["log_file"] = g_strDstLogPath;

    const std::string pathPrefix = context.catalog->PathPrefix();
    TerminalHost host(out, isatty(outFile) == 1);
    SystemClock clock;
    std::unique_ptr<Keyboard> keyboard = MakeConsoleKeyboard();
    StderrPrompts prompts(*context.console);
    DstRunSetup setup;
    setup.output = &host;
    setup.clock = &clock;
    setup.keyboard = keyboard.get();
    setup.prompts = &prompts;
    setup.pathPrefix = pathPrefix;
    setup.allDrives = options.all;
    DstRun run(host, setup);

    const int mode = options.both ? kDstModeBoth : options.advanced ? kDstModeAdvanced : kDstModeQuick;
    g_bStopRequested.store(0);
    // Ctrl-C, SIGTERM and SIGHUP are the dialog's STOP, taken between ticks.
    const StopSignals signals;
    bool stopped = false;
    run.OnStart(mode);
    while (run.TimerArmed()) {
        if (!WaitForTick(options.pollSeconds)) {
            stopped = true;
            host.Append("\nStopped.\n");
            run.OnStop();
            break;
        }
        run.OnTimer();
        if (run.TimerArmed()) host.ShowProgress(run, pathPrefix);
    }
    g_bStopRequested.store(0);

    host.Append("\n");
    context.result["stopped"] = stopped;
    const bool passed = EveryDrivePassed(context, run, mode, out);
    return passed && !stopped ? kExitOk : kExitDeviceFailure;
}

}  // namespace

CLI::App* AddSelfTestCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* command = parent.add_subcommand(
        "selftest", "Run the drives' own self-tests (quick, advanced or both) and log each drive's result");
    auto options = std::make_shared<SelfTestOptions>();
    auto* kind = command->add_option_group("kind", "which self-test");
    kind->add_flag("--quick", options->quick, "Background short self-test");
    kind->add_flag("--advanced", options->advanced, "Background extended self-test");
    kind->add_flag("--both", options->both, "The quick test on every drive, then the advanced one");
    kind->require_option(1);
    auto* drives = command->add_option_group("drives", "which drives");
    drives->add_flag("--all", options->all, "Every drive found");
    drives->add_option("DRIVE", options->drives, kDriveHelp)->check(kNotEmpty);
    drives->require_option(1);
    command->add_option("--log", options->log, "Append the rows to FILE (default: DSTest.log in the current folder)")
        ->check(kNotEmpty)
        ->type_name("FILE");
    command->add_option("--poll", options->pollSeconds, "Seconds between polls of the drives (default 10)")
        ->check(CLI::Range(1, 3600))
        ->type_name("SECONDS");
    command->add_flag("--json", context.json, "Print each drive's result as JSON on stdout (the report goes to stderr)");
    run = [options](CliContext& context) { return RunSelfTests(context, *options); };
    return command;
}
