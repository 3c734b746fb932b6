#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "download/download_observer.h"
#include "download/microcode_image.h"
#include "scsi/sense.h"

class UserPrompts;
struct DeviceEntry;

inline constexpr int kDownloadTimerId = 2;
inline constexpr int kDownloadTimerPeriodMs = 25;
// Not-ready (or unanswered) checks in a row after which a drive has timed out.
inline constexpr uint32_t kDownloadRetryLimit = 6;

// The download of one image to every selected drive, one after the other:
// the logic of the Download File dialog without its widgets. A front end
// calls OnDownload for the Download button, OnCancel for Cancel, and
// OnTimer every 25 ms while TimerActive(); it closes its dialog once
// CloseRequested(). Drives are taken from the device table in slot order.
class DownloadSequence {
public:
    DownloadSequence(UserPrompts& prompts, ImageFileOpener& opener, DownloadObserver* observer = nullptr);

    // A fresh dialog: no image, stop and busy flags clear.
    void OnInitDialog();
    // The Download button, with the name in the file-name box: asks for
    // confirmation, reads the image and sends it to the first selected drive.
    // Does nothing while a sequence is busy.
    void OnDownload(const std::string& path);
    // One tick of the download timer.
    void OnTimer();
    // Cancel: the dialog closes now when idle, at the next tick when busy.
    void OnCancel();

    bool TimerActive() const { return timerActive; }
    bool CloseRequested() const { return closeRequested; }
    bool Busy() const { return busyFlag; }
    bool StopRequested() const { return stopFlag; }
    uint32_t DownloadRetries() const { return downloadRetries; }
    // The drive whose transfer went last and which is being checked; null
    // when none.
    DeviceEntry* DriveInWork() const;
    const std::string& FileName() const { return fileName; }
    uint32_t ImageSize() const { return imageSize; }
    // Sense of the last check that ended in CHECK CONDITION.
    const SenseCodes& LastSense() const { return lastSense; }

private:
    int NextSelectedSlot(int afterSlot) const;
    void StartTransfer(int slot);
    void FinishDrive(DriveOutcome outcome);
    void WalkOn();
    void EndSequence();
    void RequestClose();

    UserPrompts& prompts;
    ImageFileOpener& opener;
    DownloadObserver* observer;

    std::string fileName;
    std::vector<uint8_t> image;
    uint32_t imageSize = 0;
    bool stopFlag = false;
    bool busyFlag = false;
    bool timerActive = false;
    bool closeRequested = false;
    bool inCall = false;
    SenseCodes lastSense;
    // Not-ready checks of the drive in work; 0 when its transfer starts.
    uint32_t downloadRetries = 0;
    // The drive in work, by slot of the device table. The sequence keeps its
    // own place rather than the table's shared walk cursor, which a test
    // run on the worker thread moves at the same time.
    int driveSlot = -1;
    bool driveTransferFailed = false;
    bool driveFinished = true;
};
