#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "download/download_summary.h"
#include "download/download_transfer.h"
#include "download/readiness.h"
#include "platform/clock.h"
#include "platform/pause.h"
#include "scsi/scsi_device.h"

// How long a drive may take to come back on new microcode unless told
// otherwise: activating it and spinning up take real drives up to minutes.
inline constexpr uint32_t kDefaultReadyTimeoutSeconds = 300;
inline constexpr uint32_t kMaxReadyTimeoutSeconds = 86400;
// Between two checks of a drive that is still restarting.
inline constexpr std::chrono::milliseconds kReadyPollInterval{500};
// Unit attentions in a row after which the next check is sent without a pause.
inline constexpr uint32_t kQuickAttentionChecks = 4;

// The time and the thread a download's drives are served with.
struct DownloadEnvironment {
    std::shared_ptr<Clock> clock;
    std::shared_ptr<Pause> pause;
    uint32_t readyTimeoutSeconds = kDefaultReadyTimeoutSeconds;
    // Runs one drive's work away from the caller's thread; tests may run it
    // in place.
    std::function<void(std::function<void()>)> launch;
};

// Real time, and a thread of its own for each drive, which is left to end by
// itself when the download is cancelled while a command is out.
DownloadEnvironment SystemDownloadEnvironment(uint32_t readyTimeoutSeconds = kDefaultReadyTimeoutSeconds);

// What the worker tells of its drive, in order.
struct TransferStartEvent {};
struct PieceEvent {
    DownloadPiece piece;
    bool good = false;
};
struct FinishEvent {
    DriveOutcome outcome = DriveOutcome::TookImage;
    std::optional<std::string> revisionAfter;
};
using DriveEvent = std::variant<TransferStartEvent, PieceEvent, TransferResult, ReadinessCheck, FinishEvent>;

// One drive's part of a download: the transfer, the wait for the drive to
// come back on its new microcode, and INQUIRY once it has. Run() goes on a
// worker; the thread that drives the sequence takes the events and may
// cancel. The worker uses only what this object holds, so one left waiting
// on a drive outlives the dialog that started it.
class DriveDownload {
public:
    DriveDownload(DeviceHandle handle, std::shared_ptr<std::vector<uint8_t>> image, DownloadEnvironment environment);

    void Run();
    // Nothing more is sent to the drive; a command already sent is left to
    // finish by itself.
    void Cancel() { cancelled = true; }
    // The events since the last call, oldest first.
    std::vector<DriveEvent> TakeEvents();

private:
    FinishEvent WaitUntilReady();
    void Post(DriveEvent event);

    DeviceHandle handle;
    std::shared_ptr<std::vector<uint8_t>> image;
    DownloadEnvironment environment;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::vector<DriveEvent> events;
};
