#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drives/run_drives.h"
#include "legacytest/sequence_engine.h"
#include "legacytest/subtest_selection.h"
#include "legacytest/test_context.h"

class OutputWindow;

// How one selected drive fared in a run.
struct DriveRunOutcome {
    std::string path;
    SequenceOutcome sequence;
    bool stopped = false;  // a stop request ended the run on this drive
};

// What a run did, drive by drive, for front ends that summarise it. Written
// by the worker; read once the worker has ended.
struct LegacyRunReport {
    std::vector<DriveRunOutcome> drives;  // in table order, as far as the run got
    bool stopped = false;
    bool deviceError = false;  // a selected drive had no path or could not be opened
};

// One drive of a run: opened when its entry has no handle yet, under test
// between its runner lines while its sequence runs, which writes to the
// outcome outcomeFor gives once the drive is open. False, testing nothing,
// when the drive has no path or cannot be opened (the clog line says which).
bool TestOneDrive(DeviceEntry& entry, RunDrives& drives, OutputWindow* output, const SubtestSelection& selection,
                  const TestEnvironment& environment, const std::function<SequenceOutcome*()>& outcomeFor);

// The runner: the run's drives in slot order, each under test while its
// sequence runs. Returns 0.
int RunLegacyTests(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                   RunDrives& drives, LegacyRunReport* report = nullptr);
// The same on the drives selected now.
int RunLegacyTests(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                   LegacyRunReport* report = nullptr);

// The worker's entry: marks the thread as the test worker (only its
// commands act on a stop), runs the tests and takes a stop here; the run's
// drives are let go once it has. Returns 0.
int LegacyTestThreadProc(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                         RunDrives drives, LegacyRunReport* report = nullptr);

// One test worker at a time. The worker runs with its own copy of the
// selection, so a selection edited meanwhile does not reach it, and owns
// the list of drives selected when it started.
class LegacyTestRun {
public:
    LegacyTestRun() = default;
    // Asks a worker still running to stop, and waits for it.
    ~LegacyTestRun();
    LegacyTestRun(const LegacyTestRun&) = delete;
    LegacyTestRun& operator=(const LegacyTestRun&) = delete;

    // Starts a worker on the drives selected now; false, starting nothing,
    // while the previous worker has not ended (a stopped worker may still be
    // inside a long command). finished runs on the worker thread as its
    // last act.
    bool Start(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
               std::function<void()> finished = {});
    bool Running() const { return running_.load(); }
    // STOP: the worker ends at its next command (outside a no-abort step),
    // whatever the drives' buttons show. Nothing when no worker runs.
    void RequestStop();
    // A stop was asked for and the worker has not ended yet: it is inside
    // a command (which ends only by the drive's answer or its time-out) or
    // about to take the stop.
    bool Stopping() const { return stopAsked_.load() && running_.load(); }
    // Waits for the worker to end.
    void Wait();
    // The report of the last run; only meaningful once it has ended.
    const LegacyRunReport& Report() const { return report_; }

private:
    std::atomic<bool> running_{false};
    std::atomic<bool> stopAsked_{false};
    std::mutex startMutex_;
    std::thread worker_;
    LegacyRunReport report_;
};

// A device path as the report shows it: without the catalog's prefix.
std::string DrivePathForReport(const std::string& path, const std::string& prefix);
