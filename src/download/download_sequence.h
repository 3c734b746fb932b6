#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "download/download_observer.h"
#include "download/download_summary.h"
#include "download/drive_download.h"
#include "download/microcode_image.h"

class UserPrompts;
struct DeviceEntry;

inline constexpr int kDownloadTimerId = 2;
inline constexpr int kDownloadTimerPeriodMs = 25;

// The download of one image to every selected drive, one after the other
// or all at once: the logic of the Download File dialog without its widgets. A front end
// calls OnDownload for the Download button, OnCancel for Cancel, and
// OnTimer every 25 ms while TimerActive(); it closes its dialog once
// CloseRequested(). Each drive's work runs on a worker (the environment's
// launch); the ticks pass on what it found, so the caller's thread never
// waits on a drive.
class DownloadSequence {
public:
    DownloadSequence(UserPrompts& prompts, ImageFileOpener& opener, DownloadObserver* observer = nullptr,
                     DownloadEnvironment environment = SystemDownloadEnvironment());
    ~DownloadSequence();
    DownloadSequence(const DownloadSequence&) = delete;
    DownloadSequence& operator=(const DownloadSequence&) = delete;

    // A fresh dialog: no image, stop and busy flags clear.
    void OnInitDialog();
    // From the next Download on, every selected drive is served at once, a
    // worker each: a drive that fails or hangs holds up no other, and stops
    // none (one at a time, a failure ends the download). The dialog closes
    // after a failure once every drive is done.
    void SetAllAtOnce(bool allAtOnce) { this->allAtOnce = allAtOnce; }
    bool AllAtOnce() const { return allAtOnce; }
    // The Download button, with the name in the file-name box: asks for
    // confirmation, reads the image and starts on the first selected drive.
    // Does nothing while a sequence is busy.
    void OnDownload(const std::string& path);
    // One tick of the download timer.
    void OnTimer();
    // Cancel: nothing more is sent, and the dialog closes now.
    void OnCancel();

    bool TimerActive() const { return timerActive; }
    bool CloseRequested() const { return closeRequested; }
    bool Busy() const { return busyFlag; }
    bool StopRequested() const { return stopFlag; }
    const std::string& FileName() const { return fileName; }
    uint32_t ImageSize() const { return imageSize; }
    // One per drive of the last download, in order, so far.
    const std::vector<DriveReport>& Reports() const { return reports; }

private:
    void StartDrive(size_t index);
    // Passes on what the workers found so far.
    void TakeEvents();
    void TakeEvents(size_t index);
    DeviceEntry& Target(size_t index) const;
    void OnTransferEnded(size_t index, const TransferResult& result);
    void OnDriveFinished(size_t index, const FinishEvent& finish);
    // The drive failed the download: the user is told.
    bool TellFailure(const DriveReport& report);
    void EndSequence();
    void RequestClose();

    UserPrompts& prompts;
    ImageFileOpener& opener;
    DownloadObserver* observer;
    DownloadEnvironment environment;

    std::string fileName;
    std::shared_ptr<std::vector<uint8_t>> image;
    uint32_t imageSize = 0;
    bool stopFlag = false;
    bool busyFlag = false;
    bool timerActive = false;
    bool closeRequested = false;
    bool inCall = false;
    bool allAtOnce = false;
    // The drives of this download, by slot of the device table, taken when
    // it starts: the sequence keeps its own list rather than the table's
    // shared walk cursor or the selection, which change under it.
    std::vector<int> targets;
    std::vector<DriveReport> reports;
    // Each drive's work while it is in work, by its place in targets.
    std::vector<std::shared_ptr<DriveDownload>> jobs;
    std::string failedDrive;   // whose failure stopped the download
    bool anyFailed = false;    // all at once: some drive failed
};
