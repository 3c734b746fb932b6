#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "legacytest/sequence_progress.h"
#include "legacytest/test_run.h"
#include "scsi/stop.h"

class OutputWindow;
class SharedEscape;
struct DeviceEntry;

// A test run on every selected drive at once: a worker per drive, each with
// its own stop, report and outcome. A drive that fails ends its own
// sequence only; one whose command hangs holds up nobody but itself, and
// the run ends once that command has timed out. Restores hold per drive as
// in a run of one drive at a time.
class ParallelTestRun {
public:
    // One drive of the run, as a window shows it while it runs.
    class Drive {
    public:
        DeviceEntry& Entry() const { return *entry; }
        const std::string& Path() const { return outcome.path; }
        SequenceProgress::Reading Progress() const { return progress.Read(); }
        bool Running() const { return running.load(); }
        // Asked to stop, alone or with all, and not ended yet.
        bool Stopping() const { return stopAsked.load() && running.load(); }
        bool InNoAbortStep() const { return stop.noAbort.load() != 0; }
        // What became of the drive; only meaningful once its worker has ended.
        const DriveRunOutcome& Outcome() const { return outcome; }
        // The drive had no path or could not be opened: nothing was tested.
        bool DeviceError() const { return deviceError; }

    private:
        friend class ParallelTestRun;
        DeviceEntry* entry = nullptr;
        StopToken stop;
        SequenceProgress progress;
        std::atomic<bool> running{false};
        std::atomic<bool> stopAsked{false};
        DriveRunOutcome outcome;
        bool deviceError = false;
        std::thread worker;
    };

    // Each drive's report window, by its place in the run; asked on the
    // thread that starts the run, before any worker starts.
    using OutputFor = std::function<OutputWindow*(size_t index, const DeviceEntry& entry)>;

    ParallelTestRun() = default;
    // Asks every worker still running to stop, and waits for them all.
    ~ParallelTestRun();
    ParallelTestRun(const ParallelTestRun&) = delete;
    ParallelTestRun& operator=(const ParallelTestRun&) = delete;

    // Starts a worker on each drive selected now, in slot order; false,
    // starting nothing, while a worker of the previous run has not ended.
    // finished runs on the last worker to end, as its last act.
    bool Start(const OutputFor& outputFor, const SubtestSelection& selection, const TestEnvironment& environment,
               std::function<void()> finished = {});
    bool Running() const { return active.load() > 0; }
    // Some drive asked to stop is still inside a command.
    bool Stopping() const;
    // Some drive is in a step that must not be cut off.
    bool InNoAbortStep() const;
    // STOP: every drive ends at its next command (outside a no-abort step).
    void RequestStop();
    // One drive's STOP; the others go on.
    void RequestStop(size_t index);
    void Wait();

    size_t DriveCount() const { return drives.size(); }
    const Drive& DriveAt(size_t index) const { return *drives[index]; }
    // The run drive by drive, in slot order; only meaningful once it has ended.
    LegacyRunReport Report() const;

private:
    void Work(Drive& drive, OutputWindow* output, const SubtestSelection& selection, TestEnvironment environment,
              RunDrives held);
    void JoinAll();

    std::mutex startMutex;
    std::atomic<int> active{0};
    std::vector<std::unique_ptr<Drive>> drives;
    std::shared_ptr<SharedEscape> sharedEscape;
    std::function<void()> finished;
};

// What a drive's row says of it: "running", "stopping", "passed", "stopped",
// "failed in <subtest>", "cannot be opened".
std::string DriveResultText(const ParallelTestRun::Drive& drive);
