#include "download/download_sequence.h"

#include "download/download_messages.h"
#include "download/download_reports.h"
#include "download/download_transfer.h"
#include "platform/user_prompts.h"
#include "scsi/string_format.h"
#include "shell/device_entry.h"
#include "shell/device_table.h"

namespace {

constexpr uint8_t kSenseKeyUnitAttention = 0x06;
// POWER ON, RESET, OR BUS DEVICE RESET OCCURRED and its kin: the drive has
// restarted on its new microcode.
constexpr uint8_t kAscResetOccurred = 0x29;

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

}  // namespace

const char* DriveOutcomeText(DriveOutcome outcome)
{
    switch (outcome) {
    case DriveOutcome::TookImage: return "took the image";
    case DriveOutcome::TransferFailed: return "transfer failed";
    case DriveOutcome::Timeout: return "did not become ready";
    case DriveOutcome::AbnormalStatus: return "abnormal status after the transfer";
    case DriveOutcome::NotChecked: return "not checked: the download was cancelled";
    }
    return "";
}

DownloadSequence::DownloadSequence(UserPrompts& prompts, ImageFileOpener& opener, DownloadObserver* observer)
    : prompts(prompts), opener(opener), observer(observer)
{
}

void DownloadSequence::OnInitDialog()
{
    image.clear();
    imageSize = 0;
    stopFlag = false;
    busyFlag = false;
}

DeviceEntry* DownloadSequence::DriveInWork() const
{
    if (driveSlot < 0 || driveSlot >= kDeviceSlots) return nullptr;
    return g_devices[static_cast<size_t>(driveSlot)].get();
}

int DownloadSequence::NextSelectedSlot(int afterSlot) const
{
    for (int slot = afterSlot + 1; slot < kDeviceSlots; ++slot) {
        const auto& entry = g_devices[static_cast<size_t>(slot)];
        if (entry && entry->selected) return slot;
    }
    return -1;
}

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
    image = std::move(read.image);
    imageSize = static_cast<uint32_t>(image.size());

    const int first = NextSelectedSlot(-1);
    if (first < 0) {
        prompts.Message(kMsgNoTargetDevice, kDownloadMessageCaption, UserPrompts::Icon::Warning);
        image.clear();
        OnCancel();
        return;
    }
    busyFlag = true;
    StartTransfer(first);
    timerActive = true;
}

void DownloadSequence::StartTransfer(int slot)
{
    driveSlot = slot;
    DeviceEntry& drive = *g_devices[static_cast<size_t>(slot)];
    downloadRetries = 0;
    driveFinished = false;
    if (observer) observer->TransferStarting(drive, imageSize);
    const TransferResult result = DownloadImage(drive, image, observer);
    driveTransferFailed = result.outcome != TransferResult::Outcome::Sent;
    if (observer) observer->TransferEnded(drive, result);

    const std::string prefix = kPrefixDownload + drive.path;
    if (result.outcome == TransferResult::Outcome::CallFailed) {
        ReportLastError(prompts, prefix, result.errorCode);
    } else if (result.outcome == TransferResult::Outcome::ScsiStatus) {
        ReportScsiFailure(prompts, prefix, result.scsiStatus, result.senseLength, result.sense);
    }
}

void DownloadSequence::OnTimer()
{
    CallGuard guard(inCall);
    if (!guard.Entered() || !timerActive) return;

    if (stopFlag) {
        timerActive = false;
        if (!driveFinished) FinishDrive(DriveOutcome::NotChecked);
        EndSequence();
        RequestClose();
        return;
    }

    if (DeviceEntry* drive = DriveInWork(); drive != nullptr && !driveFinished) {
        const int result = CheckDriveAfterDownload(*drive, lastSense);
        const bool notReady = result == kCheckCallFailed || result == kCheckNotReady;
        if (notReady) ++downloadRetries;
        if (observer) observer->DriveChecked(*drive, result, lastSense, downloadRetries);

        if (notReady) {
            if (downloadRetries < kDownloadRetryLimit) return;
            // An error ends the download: no further drive receives the
            // image, and the next tick closes the dialog.
            stopFlag = true;
            FinishDrive(DriveOutcome::Timeout);
            prompts.Message(kPrefixTimeout + drive->path, kDownloadMessageCaption, UserPrompts::Icon::Warning);
            return;
        }
        if (result == kCheckStatus &&
            !(lastSense.senseKey == kSenseKeyUnitAttention && lastSense.asc == kAscResetOccurred)) {
            stopFlag = true;
            FinishDrive(DriveOutcome::AbnormalStatus);
            prompts.Message(StringPrintf(kFmtAbnormalStatus, drive->path.c_str(), unsigned{lastSense.senseKey},
                                         unsigned{lastSense.asc}, unsigned{lastSense.ascq}),
                            kDownloadMessageCaption, UserPrompts::Icon::Warning);
            return;
        }
        FinishDrive(driveTransferFailed ? DriveOutcome::TransferFailed : DriveOutcome::TookImage);
    }
    WalkOn();
}

void DownloadSequence::WalkOn()
{
    timerActive = false;
    const int next = NextSelectedSlot(driveSlot);
    if (next >= 0) {
        StartTransfer(next);
        timerActive = true;
        return;
    }
    EndSequence();
}

void DownloadSequence::FinishDrive(DriveOutcome outcome)
{
    driveFinished = true;
    if (DeviceEntry* drive = DriveInWork(); drive != nullptr && observer) observer->DriveFinished(*drive, outcome);
}

void DownloadSequence::EndSequence()
{
    const bool wasBusy = busyFlag;
    busyFlag = false;
    driveSlot = -1;
    // The image is read anew at the next press.
    image.clear();
    image.shrink_to_fit();
    if (wasBusy && observer) observer->SequenceEnded();
}

void DownloadSequence::OnCancel()
{
    stopFlag = true;
    if (!busyFlag) RequestClose();
}

void DownloadSequence::RequestClose()
{
    timerActive = false;
    closeRequested = true;
}
