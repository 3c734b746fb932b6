#include "legacytest/test_run.h"

#include <iostream>

#include "drives/device_entry.h"
#include "platform/device_catalog.h"
#include "scsi/report.h"
#include "scsi/stop.h"

namespace {

// What the running report shows of a path when no catalog says its prefix:
// the bench's "\\.\" or Linux's "/dev/".
std::string DefaultPrefixOf(const std::string& path)
{
    for (const char* prefix : {"\\\\.\\", "/dev/"})
        if (path.rfind(prefix, 0) == 0) return prefix;
    return {};
}

// Opens a drive whose entry has no handle yet; false after the clog line.
bool OpenDevice(DeviceEntry& entry, const TestEnvironment& environment)
{
    if (entry.handle) return true;
    if (entry.path.empty()) {
        std::clog << "NULL device name" << std::endl;
        return false;
    }
    int errorCode = 0;
    DeviceHandle handle = environment.catalog ? environment.catalog->Open(entry.path, errorCode) : nullptr;
    if (!handle) {
        std::clog << "Invalid device: " << entry.path << std::endl;
        return false;
    }
    // Stays open for later runs.
    entry.handle = std::move(handle);
    return true;
}

}  // namespace

std::string DrivePathForReport(const std::string& path, const std::string& prefix)
{
    const std::string& used = prefix.empty() ? DefaultPrefixOf(path) : prefix;
    if (!used.empty() && path.rfind(used, 0) == 0) return path.substr(used.size());
    return path;
}

bool TestOneDrive(DeviceEntry& entry, RunDrives& drives, OutputWindow* output, const SubtestSelection& selection,
                  const TestEnvironment& environment, const std::function<SequenceOutcome*()>& outcomeFor)
{
    if (!OpenDevice(entry, environment)) return false;
    drives.Begin(entry);
    const std::string prefix = environment.catalog ? environment.catalog->PathPrefix() : std::string();
    const std::string shown = DrivePathForReport(entry.path, prefix);
    ReportLine(output, "Begin legacy test(s) for drive ", shown.c_str());
    RunTestSequence(selection, entry, output, environment, outcomeFor());
    ReportLine(output, "End of legacy test(s) for drive ", shown.c_str());
    drives.Finish(entry);
    return true;
}

int RunLegacyTests(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                   RunDrives& drives, LegacyRunReport* report)
{
    for (DeviceEntry* drive : drives.Drives()) {
        SequenceOutcome local;
        const auto outcomeFor = [&]() -> SequenceOutcome* {
            if (!report) return &local;
            report->drives.push_back({drive->path, {}, false});
            return &report->drives.back().sequence;
        };
        if (!TestOneDrive(*drive, drives, output, selection, environment, outcomeFor)) {
            if (report) report->deviceError = true;
            break;
        }
    }
    g_bStopRequested = 0;
    return 0;
}

int RunLegacyTests(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                   LegacyRunReport* report)
{
    RunDrives drives = RunDrives::Selected();
    return RunLegacyTests(output, selection, environment, drives, report);
}

int LegacyTestThreadProc(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                         RunDrives drives, LegacyRunReport* report)
{
    MarkTestWorkerThread(true);
    try {
        RunLegacyTests(output, selection, environment, drives, report);
    } catch (const WorkerStopped&) {
        // Taken at a command boundary: nothing more of the run happens. What
        // the sequence changed was put back while the stop unwound it.
        if (report) {
            report->stopped = true;
            if (!report->drives.empty()) report->drives.back().stopped = true;
        }
        g_bStopRequested = 0;
    }
    MarkTestWorkerThread(false);
    return 0;
}

LegacyTestRun::~LegacyTestRun()
{
    RequestStop();
    Wait();
}

bool LegacyTestRun::Start(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                          std::function<void()> finished)
{
    std::lock_guard lock(startMutex_);
    if (running_.load()) return false;
    if (worker_.joinable()) worker_.join();
    report_ = LegacyRunReport{};
    // A stop asked for after the last worker took its last command was
    // meant for that worker, not for this one.
    g_bStopRequested = 0;
    stopAsked_ = false;
    running_ = true;
    worker_ = std::thread([this, output, selection, environment, drives = RunDrives::Selected(),
                           finished = std::move(finished)]() mutable {
        LegacyTestThreadProc(output, selection, environment, std::move(drives), &report_);
        running_ = false;
        if (finished) finished();
    });
    return true;
}

void LegacyTestRun::RequestStop()
{
    if (!running_.load()) return;
    stopAsked_ = true;
    g_bStopRequested = 1;
}

void LegacyTestRun::Wait()
{
    std::lock_guard lock(startMutex_);
    if (worker_.joinable()) worker_.join();
}
