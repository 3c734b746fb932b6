#include "download/drive_download.h"

#include <thread>
#include <utility>

DownloadEnvironment SystemDownloadEnvironment(uint32_t readyTimeoutSeconds)
{
    DownloadEnvironment environment;
    environment.clock = std::make_shared<SystemClock>();
    environment.pause = std::make_shared<SleepingPause>();
    environment.readyTimeoutSeconds = readyTimeoutSeconds;
    // Detached: a worker blocked in a command the drive never answers must
    // not hold up the window that gave up on it.
    environment.launch = [](std::function<void()> work) { std::thread(std::move(work)).detach(); };
    return environment;
}

DriveDownload::DriveDownload(DeviceHandle handle, std::shared_ptr<std::vector<uint8_t>> image,
                             DownloadEnvironment environment)
    : handle(std::move(handle)), image(std::move(image)), environment(std::move(environment))
{
}

void DriveDownload::Post(DriveEvent event)
{
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
}

std::vector<DriveEvent> DriveDownload::TakeEvents()
{
    std::lock_guard lock(mutex);
    return std::exchange(events, {});
}

void DriveDownload::Run()
{
    Post(TransferStartEvent{});
    const TransferResult transfer = DownloadImage(handle, *image, cancelled, [this](const DownloadPiece& piece, bool good) {
        Post(PieceEvent{piece, good});
    });
    Post(transfer);
    using Outcome = TransferResult::Outcome;
    if (transfer.outcome == Outcome::Cancelled) {
        Post(FinishEvent{DriveOutcome::Cancelled, std::nullopt});
        return;
    }
    if (transfer.outcome == Outcome::NoHandle) {
        Post(FinishEvent{DriveOutcome::TransferFailed, std::nullopt});
        return;
    }
    // A drive whose transfer failed is checked all the same: it may have
    // restarted, and the user learns what state it is left in.
    FinishEvent finish = WaitUntilReady();
    if (finish.outcome == DriveOutcome::TookImage) {
        if (!cancelled) finish.revisionAfter = ReadDriveRevision(handle);
        if (transfer.outcome != Outcome::Sent) finish.outcome = DriveOutcome::TransferFailed;
    }
    Post(std::move(finish));
}

FinishEvent DriveDownload::WaitUntilReady()
{
    Clock& clock = *environment.clock;
    const int64_t start = clock.Now();
    uint32_t attentionsInARow = 0;
    for (uint32_t number = 1;; ++number) {
        if (cancelled) return {DriveOutcome::Cancelled, std::nullopt};
        ReadinessCheck check = CheckDriveAfterDownload(handle);
        check.answer = ClassifyReadiness(check);
        check.number = number;
        check.secondsWaited = clock.Now() - start;
        Post(check);
        switch (check.answer) {
        case ReadinessAnswer::Ready: return {DriveOutcome::TookImage, std::nullopt};
        case ReadinessAnswer::Failed: return {DriveOutcome::AbnormalStatus, std::nullopt};
        case ReadinessAnswer::Restarting: break;
        }
        if (check.secondsWaited >= static_cast<int64_t>(environment.readyTimeoutSeconds))
            return {DriveOutcome::Timeout, std::nullopt};
        // A unit attention is cleared by the answer that reports it, and the
        // next may follow at once; a drive that keeps raising them is paced
        // like one that is not ready.
        const bool attention = check.status == kStatusCheckCondition && check.result == kCheckStatus;
        attentionsInARow = attention ? attentionsInARow + 1 : 0;
        if (attentionsInARow == 0 || attentionsInARow > kQuickAttentionChecks) environment.pause->For(kReadyPollInterval);
    }
}
