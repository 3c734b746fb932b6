// kestrion-cli download IMAGE DRIVE... [--yes] [--ready-timeout SECONDS]:
// the Download File dialog's sequence on the named drives, with its progress
// and what became of each drive on stdout.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "cli/drive_report.h"
#include "download/download_observer.h"
#include "download/download_sequence.h"
#include "download/download_summary.h"
#include "download/drive_download.h"
#include "download/microcode_image.h"
#include "download/readiness.h"
#include "drives/device_table.h"
#include "platform/stop_signals.h"
#include "platform/user_prompts.h"
#include "scsi/stop.h"

namespace {

constexpr int kStopCheckMs = 100;

// The dialog's message boxes on stderr; its question answered by --yes or
// by the person at the terminal.
class ConsolePrompts final : public UserPrompts {
public:
    ConsolePrompts(Console& console, bool assumeYes, std::istream& in)
        : console(console), assumeYes(assumeYes), in(in)
    {
    }

    void Message(const std::string& text, const std::string&, Icon) override { console.Message(text); }

    bool AskYesNo(const std::string& text, const std::string&) override
    {
        if (assumeYes) {
            console.err() << text << " yes (--yes)\n";
            return true;
        }
        console.err() << text << " [y/N] " << std::flush;
        std::string answer;
        if (!AnswerComes()) {
            console.err() << '\n';
            declined = true;
            return false;
        }
        if (!std::getline(in, answer)) {
            console.err() << '\n';
            console.Message("no answer; give --yes to download without asking");
            declined = true;
            return false;
        }
        std::transform(answer.begin(), answer.end(), answer.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        answer.erase(0, answer.find_first_not_of(" \t"));
        answer.erase(answer.find_last_not_of(" \t\r") + 1);
        declined = answer != "y" && answer != "yes";
        return !declined;
    }

    std::optional<std::string> ChooseFile(const std::string&, const std::string&, const std::string&, bool) override
    {
        return std::nullopt;  // the image is named on the command line
    }

    bool declined = false;

private:
    // The stop signals are blocked while the download runs, so a read would
    // not notice them: wait for the answer, or for a stop, which is no.
    static bool AnswerComes()
    {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (g_bStopRequested.load() == 0)
            if (poll(&input, 1, kStopCheckMs) != 0) return true;
        return false;
    }

    Console& console;
    bool assumeYes;
    std::istream& in;
};

// Each drive's pieces as they go, the changes in its answers while it
// restarts, and what became of it. Drives served at once have their drive
// at the start of every line.
class ProgressPrinter final : public DownloadObserver {
public:
    ProgressPrinter(std::ostream& out, bool allAtOnce) : out(out), allAtOnce(allAtOnce) {}

    void TransferStarting(const DeviceEntry& drive, uint32_t imageSize) override
    {
        anyTransfer = true;
        lastAnswer[drive.path].clear();
        out << drive.path << ": sending " << imageSize << " bytes\n";
    }
    void PieceSent(const DeviceEntry& drive, const DownloadPiece& piece, bool good) override
    {
        out << Lead(drive) << "piece at offset " << piece.offset << ", " << piece.length << " bytes: "
            << (good ? "GOOD" : "failed") << '\n';
    }
    void DriveChecked(const DeviceEntry& drive, const ReadinessCheck& check) override
    {
        // A restart is many checks with the same answer: show each change.
        const std::string answer = ReadinessCheckText(check);
        if (answer == lastAnswer[drive.path]) return;
        lastAnswer[drive.path] = answer;
        out << Lead(drive) << "check after " << check.secondsWaited << " s: " << answer << std::endl;
    }
    void DriveFinished(const DeviceEntry& drive, const DriveReport& report) override
    {
        out << drive.path << ": " << DriveOutcomeText(report.outcome) << std::endl;
    }
    void SequenceEnded(const std::vector<DriveReport>& ended) override { reports = ended; }

    bool anyTransfer = false;
    std::vector<DriveReport> reports;

private:
    std::string Lead(const DeviceEntry& drive) const { return allAtOnce ? drive.path + ": " : "  "; }

    std::ostream& out;
    const bool allAtOnce;
    std::map<std::string, std::string> lastAnswer;
};

// The outcome's name in machine-readable output.
const char* OutcomeKey(DriveOutcome outcome)
{
    switch (outcome) {
    case DriveOutcome::TookImage: return "took_image";
    case DriveOutcome::TransferFailed: return "transfer_failed";
    case DriveOutcome::Timeout: return "not_ready";
    case DriveOutcome::AbnormalStatus: return "abnormal_status";
    case DriveOutcome::Cancelled: return "cancelled";
    case DriveOutcome::NotAttempted: break;
    }
    return "not_attempted";
}

Json ReportsJson(const DeviceCatalog& catalog, const std::vector<DeviceEntry*>& targets,
                 const std::vector<DriveReport>& reports)
{
    Json drives = Json::array();
    for (const DriveReport& report : reports) {
        const auto entry = std::find_if(targets.begin(), targets.end(),
                                        [&](const DeviceEntry* target) { return target->path == report.path; });
        if (entry == targets.end()) continue;
        drives.push_back({{"drive", DriveJson(catalog, **entry)},
                          {"took_image", DriveReportOk(report)},
                          {"outcome", OutcomeKey(report.outcome)},
                          {"revision_before", report.revisionBefore},
                          {"revision_after", report.revisionAfter ? Json(*report.revisionAfter) : Json(nullptr)},
                          {"stopped_by", report.stoppedBy.empty() ? Json(nullptr) : Json(report.stoppedBy)}});
    }
    return drives;
}

int RunDownload(CliContext& context, const std::string& image, const std::vector<std::string>& names, bool yes,
                uint32_t readyTimeout, bool parallel)
{
    context.result["image"] = image;
    context.result["confirmed"] = false;
    context.result["drives"] = Json::array();
    std::vector<DeviceEntry*> targets;
    if (const int status = context.DiscoverNamed(names, targets); status != kExitOk) return status;
    // The sequence serves the selected drives: exactly those named.
    for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
        SetDeviceSelected(*entry, std::find(targets.begin(), targets.end(), entry) != targets.end());

    // With --json standard output carries the document alone; the progress goes to stderr.
    std::ostream& out = context.json ? context.console->err() : context.console->out();
    ConsolePrompts prompts(*context.console, yes, std::cin);
    PosixImageFileOpener opener;
    ProgressPrinter progress(out, parallel);
    g_bStopRequested.store(0);
    // Ctrl-C, SIGTERM and SIGHUP are the dialog's Cancel: a command already
    // sent is left to finish, nothing more goes to the drive in work, and no
    // later drive gets anything. Built before the sequence starts its workers,
    // which therefore leave the signals to the guard.
    const StopSignals signals;
    DownloadSequence sequence(prompts, opener, &progress, SystemDownloadEnvironment(readyTimeout));
    sequence.OnInitDialog();
    sequence.SetAllAtOnce(parallel);
    sequence.OnDownload(image);
    while (sequence.TimerActive()) {
        if (g_bStopRequested.load() != 0) sequence.OnCancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(kDownloadTimerPeriodMs));
        sequence.OnTimer();
    }
    g_bStopRequested.store(0);
    if (!progress.anyTransfer) {
        // Nothing was sent; a file's trouble is on stderr already.
        if (!prompts.declined) return kExitUsage;
        context.console->Message("not confirmed; nothing was sent");
        return kExitDeviceFailure;
    }
    context.result["confirmed"] = true;
    context.result["drives"] = ReportsJson(*context.catalog, targets, progress.reports);

    out << '\n' << DownloadSummaryText(progress.reports) << std::endl;
    const bool allOk = std::all_of(progress.reports.begin(), progress.reports.end(), DriveReportOk);
    return allOk && !progress.reports.empty() ? kExitOk : kExitDeviceFailure;
}

}  // namespace

CLI::App* AddDownloadCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* download = parent.add_subcommand(
        "download", "Send a microcode image to drives with WRITE BUFFER and check that each comes back");
    auto image = std::make_shared<std::string>();
    auto drives = std::make_shared<std::vector<std::string>>();
    auto yes = std::make_shared<bool>(false);
    auto readyTimeout = std::make_shared<uint32_t>(kDefaultReadyTimeoutSeconds);
    auto parallel = std::make_shared<bool>(false);
    download->add_option("IMAGE", *image, "The microcode image file (*.lod), sent unchanged")
        ->required()
        ->check(kNotEmpty);
    download->add_option("DRIVE", *drives, std::string(kDriveHelp) + "; served in the order of the device table")
        ->required()
        ->check(kNotEmpty);
    download->add_flag("--yes,-y", *yes, "Download without asking for confirmation");
    download->add_flag("--parallel", *parallel,
                       "Serve every named drive at the same time, a worker each: a drive that fails stops no other");
    download->add_flag("--json", context.json,
                       "Print what became of each drive as JSON on stdout (the progress goes to stderr)");
    download
        ->add_option("--ready-timeout", *readyTimeout,
                     "Seconds each drive may take to come back on its new microcode (default " +
                         std::to_string(kDefaultReadyTimeoutSeconds) + ")")
        ->check(CLI::Range(0u, kMaxReadyTimeoutSeconds))
        ->option_text("SECONDS");
    run = [image, drives, yes, readyTimeout, parallel](CliContext& context) {
        return RunDownload(context, *image, *drives, *yes, *readyTimeout, *parallel);
    };
    return download;
}
