#include "legacytest/parallel_test_run.h"

#include <algorithm>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "drives/run_drives.h"
#include "platform/keyboard.h"

// Escape on the console ends every drive's sequence, as it ends the one
// sequence of a run of one drive at a time: the worker that reads the key
// passes it on to all the others.
class SharedEscape {
public:
    explicit SharedEscape(Keyboard* keys) : keys(keys) {}

    // One worker's view: each Escape read by any worker reaches it once.
    class View final : public Keyboard {
    public:
        explicit View(SharedEscape& shared) : shared(shared) {}
        bool EscapePressed() override
        {
            shared.Poll();
            const int now = shared.escapes.load();
            if (now == seen) return false;
            seen = now;
            return true;
        }

    private:
        SharedEscape& shared;
        int seen = 0;  // every Escape of the run, also one read before this worker began
    };

private:
    void Poll()
    {
        if (keys == nullptr) return;
        std::lock_guard lock(mutex);
        if (keys->EscapePressed()) ++escapes;
    }

    Keyboard* keys;
    std::mutex mutex;
    std::atomic<int> escapes{0};
};

ParallelTestRun::~ParallelTestRun()
{
    RequestStop();
    Wait();
}

bool ParallelTestRun::Start(const OutputFor& outputFor, const SubtestSelection& selection,
                            const TestEnvironment& environment, std::function<void()> whenFinished)
{
    std::lock_guard lock(startMutex);
    if (active.load() > 0) return false;
    JoinAll();
    drives.clear();
    // A stop of all asked for after the last run's workers took their last
    // command was meant for them, not for this run.
    g_bStopRequested = 0;
    finished = std::move(whenFinished);

    const std::vector<DeviceEntry*> selected = SelectedDrives();
    std::vector<OutputWindow*> outputs;
    for (size_t index = 0; index < selected.size(); ++index) {
        auto drive = std::make_unique<Drive>();
        drive->entry = selected[index];
        drive->outcome.path = selected[index]->path;
        drive->running = true;
        drives.push_back(std::move(drive));
        outputs.push_back(outputFor ? outputFor(index, *selected[index]) : nullptr);
    }
    if (drives.empty()) {
        if (finished) finished();
        return true;
    }
    active = static_cast<int>(drives.size());
    sharedEscape = std::make_shared<SharedEscape>(environment.keyboard);
    for (size_t index = 0; index < drives.size(); ++index) {
        Drive& drive = *drives[index];
        // Held from now, so no drive's selection changes while others start.
        RunDrives held(std::vector<DeviceEntry*>{drive.entry});
        drive.worker = std::thread(&ParallelTestRun::Work, this, std::ref(drive), outputs[index], selection,
                                   environment, std::move(held));
    }
    return true;
}

void ParallelTestRun::Work(Drive& drive, OutputWindow* output, const SubtestSelection& selection,
                           TestEnvironment environment, RunDrives held)
{
    SharedEscape::View keyboard(*sharedEscape);
    environment.keyboard = &keyboard;
    environment.progress = &drive.progress;
    MarkTestWorkerThread(drive.stop);
    try {
        drive.deviceError = !TestOneDrive(*drive.entry, held, output, selection, environment,
                                          [&drive] { return &drive.outcome.sequence; });
    } catch (const WorkerStopped&) {
        // Taken at a command boundary of this drive; what its sequence
        // changed was put back while the stop unwound it.
        drive.outcome.stopped = true;
    }
    MarkTestWorkerThread(false);
    // The drive is let go before the run may count as ended.
    { RunDrives release = std::move(held); }
    drive.running = false;
    if (--active == 0) {
        g_bStopRequested = 0;
        if (finished) finished();
    }
}

bool ParallelTestRun::Stopping() const
{
    return std::any_of(drives.begin(), drives.end(), [](const auto& drive) { return drive->Stopping(); });
}

bool ParallelTestRun::InNoAbortStep() const
{
    return std::any_of(drives.begin(), drives.end(), [](const auto& drive) { return drive->InNoAbortStep(); });
}

void ParallelTestRun::RequestStop()
{
    if (!Running()) return;
    for (const auto& drive : drives)
        if (drive->running) drive->stopAsked = true;
    g_bStopRequested = 1;
}

void ParallelTestRun::RequestStop(size_t index)
{
    if (index >= drives.size() || !drives[index]->running) return;
    Drive& drive = *drives[index];
    drive.stopAsked = true;
    drive.stop.stopRequested = 1;
}

void ParallelTestRun::Wait()
{
    std::lock_guard lock(startMutex);
    JoinAll();
}

void ParallelTestRun::JoinAll()
{
    for (const auto& drive : drives)
        if (drive->worker.joinable()) drive->worker.join();
}

LegacyRunReport ParallelTestRun::Report() const
{
    LegacyRunReport report;
    for (const auto& drive : drives) {
        if (drive->deviceError) {
            report.deviceError = true;
            continue;
        }
        report.drives.push_back(drive->outcome);
        report.stopped = report.stopped || drive->outcome.stopped;
    }
    return report;
}

std::string DriveResultText(const ParallelTestRun::Drive& drive)
{
    if (drive.Running()) return drive.Stopping() ? "stopping" : "running";
    if (drive.DeviceError()) return "cannot be opened";
    const DriveRunOutcome& outcome = drive.Outcome();
    if (outcome.stopped) return "stopped";
    if (outcome.sequence.settingsLeftChanged) return "failed: a drive setting was left changed";
    if (outcome.sequence.Completed()) return "passed";
    const int endedBy = outcome.sequence.endedBy;
    if (endedBy < 0 || endedBy >= kSubtestCount) return "failed";
    return std::string("failed in ") + Subtests()[static_cast<size_t>(endedBy)].label;
}
