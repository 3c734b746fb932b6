#include "download/download_sequence.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "download/download_messages.h"
#include "download/download_reports.h"
#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "platform/user_prompts.h"
#include "scsi/string_format.h"

namespace {

// A message box, nested event loop and all, must not let a second tick or
// press run inside the first.
class CallGuard {
public:
    explicit CallGuard(bool& flag) : flag(flag), entered(!flag) { flag = true; }
    ~CallGuard()
    {
        if (entered) flag = false;
    }
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;
    bool Entered() const { return entered; }

private:
    bool& flag;
    bool entered;
};

std::string TrimmedRevision(const char* revision)
{
    std::string text(revision);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
// Spelled out for compilers without aggregate deduction (clang before 17,
// which the libFuzzer build uses).
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

DownloadSequence::DownloadSequence(UserPrompts& prompts, ImageFileOpener& opener, DownloadObserver* observer,
                                   DownloadEnvironment environment)
    : prompts(prompts), opener(opener), observer(observer), environment(std::move(environment))
{
}

DownloadSequence::~DownloadSequence()
{
    for (const auto& job : jobs)
        if (job) job->Cancel();
}

void DownloadSequence::OnInitDialog()
{
    image.reset();
    imageSize = 0;
    stopFlag = false;
    busyFlag = false;
}

DeviceEntry& DownloadSequence::Target(size_t index) const { return *g_devices[static_cast<size_t>(targets[index])]; }

void DownloadSequence::OnDownload(const std::string& path)
{
    CallGuard guard(inCall);
    // A second press while drives are in work would send the image again
    // and leave the drive in work unchecked.
    if (!guard.Entered() || busyFlag || closeRequested) return;

    fileName = path;
    if (!prompts.AskYesNo(StringPrintf(kFmtConfirmDownload, fileName.c_str()), kDownloadMessageCaption)) return;

    ImageReadResult read = ReadMicrocodeImage(fileName, opener);
    if (read.outcome != ImageReadResult::Outcome::Ok) {
        prompts.Message(ImageReadMessage(read, fileName), kDownloadMessageCaption, UserPrompts::Icon::Warning);
        return;
    }
    targets.clear();
    reports.clear();
    failedDrive.clear();
    anyFailed = false;
    for (int slot = 0; slot < kDeviceSlots; ++slot) {
        const auto& entry = g_devices[static_cast<size_t>(slot)];
        if (!entry || !entry->selected) continue;
        targets.push_back(slot);
        DriveReport report;
        report.path = entry->path;
        report.revisionBefore = TrimmedRevision(entry->revision);
        report.readyTimeoutSeconds = environment.readyTimeoutSeconds;
        reports.push_back(std::move(report));
    }
    if (targets.empty()) {
        prompts.Message(kMsgNoTargetDevice, kDownloadMessageCaption, UserPrompts::Icon::Warning);
        OnCancel();
        return;
    }
    image = std::make_shared<std::vector<uint8_t>>(std::move(read.image));
    imageSize = static_cast<uint32_t>(image->size());
    busyFlag = true;
    jobs.assign(targets.size(), nullptr);
    timerActive = true;
    for (size_t index = 0; index < (allAtOnce ? targets.size() : 1); ++index) StartDrive(index);
}

void DownloadSequence::StartDrive(size_t index)
{
    jobs[index] = std::make_shared<DriveDownload>(Target(index).handle, image, environment);
    environment.launch([work = jobs[index]] { work->Run(); });
}

void DownloadSequence::OnTimer()
{
    CallGuard guard(inCall);
    if (!guard.Entered() || !timerActive) return;

    if (stopFlag) {
        // After an error: the tick that ends the download and closes.
        timerActive = false;
        EndSequence();
        RequestClose();
        return;
    }
    TakeEvents();
}

void DownloadSequence::TakeEvents()
{
    // One at a time, a finished drive's successor starts while its events
    // are passed on, and comes next in the walk.
    for (size_t index = 0; index < jobs.size(); ++index) TakeEvents(index);
}

void DownloadSequence::TakeEvents(size_t index)
{
    const std::shared_ptr<DriveDownload> taken = jobs[index];
    if (!taken) return;
    DeviceEntry& drive = Target(index);
    for (const DriveEvent& event : taken->TakeEvents()) {
        std::visit(Overloaded{
                       [&](const TransferStartEvent&) {
                           if (observer) observer->TransferStarting(drive, imageSize);
                       },
                       [&](const PieceEvent& piece) {
                           if (observer) observer->PieceSent(drive, piece.piece, piece.good);
                       },
                       [&](const TransferResult& result) { OnTransferEnded(index, result); },
                       [&](const ReadinessCheck& check) {
                           reports[index].lastCheck = check;
                           if (observer) observer->DriveChecked(drive, check);
                       },
                       [&](const FinishEvent& finish) { OnDriveFinished(index, finish); },
                   },
                   event);
        if (jobs[index] != taken) return;
    }
}

void DownloadSequence::OnTransferEnded(size_t index, const TransferResult& result)
{
    const DeviceEntry& drive = Target(index);
    reports[index].transfer = result;
    if (observer) observer->TransferEnded(drive, result);
    const std::string prefix = kPrefixDownload + drive.path;
    if (result.outcome == TransferResult::Outcome::CallFailed) {
        ReportLastError(prompts, prefix, result.errorCode);
    } else if (result.outcome == TransferResult::Outcome::ScsiStatus) {
        ReportScsiFailure(prompts, prefix, result.scsiStatus, result.senseLength, result.sense);
    }
}

bool DownloadSequence::TellFailure(const DriveReport& report)
{
    const SenseCodes codes = report.lastCheck ? report.lastCheck->codes : SenseCodes{};
    if (report.outcome == DriveOutcome::Timeout) {
        prompts.Message(kPrefixTimeout + report.path, kDownloadMessageCaption, UserPrompts::Icon::Warning);
        return true;
    }
    if (report.outcome == DriveOutcome::AbnormalStatus) {
        prompts.Message(StringPrintf(kFmtAbnormalStatus, report.path.c_str(), unsigned{codes.senseKey},
                                     unsigned{codes.asc}, unsigned{codes.ascq}),
                        kDownloadMessageCaption, UserPrompts::Icon::Warning);
        return true;
    }
    return false;
}

void DownloadSequence::OnDriveFinished(size_t index, const FinishEvent& finish)
{
    jobs[index].reset();
    DeviceEntry& drive = Target(index);
    DriveReport& report = reports[index];
    report.outcome = finish.outcome;
    report.revisionAfter = finish.revisionAfter;
    // The device table shows what the drive runs now.
    if (finish.revisionAfter) {
        std::snprintf(drive.revision, sizeof drive.revision, "%-4.4s", finish.revisionAfter->c_str());
    }
    if (observer) observer->DriveFinished(drive, report);

    if (allAtOnce) {
        anyFailed = TellFailure(report) || anyFailed;
        // Stopped by Cancel, which accounts for the rest itself; or others
        // still in work.
        if (stopFlag || std::any_of(jobs.begin(), jobs.end(), [](const auto& job) { return job != nullptr; })) return;
        // As one at a time: after a failure the next tick closes the dialog.
        if (anyFailed) {
            stopFlag = true;
            return;
        }
        timerActive = false;
        EndSequence();
        return;
    }
    if (TellFailure(report)) {
        // An error ends the download: no further drive is sent an image that
        // has just failed one, and the next tick closes the dialog.
        stopFlag = true;
        failedDrive = report.path;
        return;
    }
    // Stopped (by Cancel, which takes what the worker found first): no
    // further drive.
    if (stopFlag) return;
    if (index + 1 < targets.size()) {
        StartDrive(index + 1);
        return;
    }
    timerActive = false;
    EndSequence();
}

void DownloadSequence::EndSequence()
{
    if (!busyFlag) return;
    busyFlag = false;
    for (DriveReport& report : reports)
        if (report.outcome == DriveOutcome::NotAttempted) report.stoppedBy = failedDrive;
    jobs.clear();
    // The image is read anew at the next press.
    image.reset();
    if (observer) observer->SequenceEnded(reports);
}

void DownloadSequence::OnCancel()
{
    stopFlag = true;
    if (busyFlag) {
        for (const auto& job : jobs)
            if (job) job->Cancel();
        // What the workers found before the cancel still counts; a drive
        // one had not finished is reported cancelled.
        TakeEvents();
        for (size_t index = 0; index < jobs.size(); ++index) {
            if (!jobs[index]) continue;
            jobs[index].reset();
            reports[index].outcome = DriveOutcome::Cancelled;
            if (observer) observer->DriveFinished(Target(index), reports[index]);
        }
    }
    EndSequence();
    RequestClose();
}

void DownloadSequence::RequestClose()
{
    timerActive = false;
    closeRequested = true;
}
