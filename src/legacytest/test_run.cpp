#include "legacytest/test_run.h"

#include <iostream>

#include "platform/device_catalog.h"
#include "scsi/report.h"
#include "scsi/stop.h"
#include "shell/device_entry.h"
#include "shell/device_table.h"

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

int RunLegacyTests(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                   LegacyRunReport* report)
{
    const std::string prefix = environment.catalog ? environment.catalog->PathPrefix() : std::string();
    for (const auto& slot : g_devices) {
        if (!slot || slot->isController || !slot->selected) continue;
        DeviceEntry& entry = *slot;
        if (!OpenDevice(entry, environment)) {
            if (report) report->deviceError = true;
            break;
        }
        SetTestColour(entry);
        const std::string shown = DrivePathForReport(entry.path, prefix);
        ReportLine(output, "Begin legacy test(s) for drive ", shown.c_str());
        SequenceOutcome local;
        SequenceOutcome* outcome = &local;
        if (report) {
            report->drives.push_back({entry.path, {}, false});
            outcome = &report->drives.back().sequence;
        }
        RunTestSequence(selection, entry, output, environment, outcome);
        ReportLine(output, "End of legacy test(s) for drive ", shown.c_str());
        SetIdleColour(entry);
    }
    g_bStopRequested = 0;
    return 0;
}

int LegacyTestThreadProc(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                         LegacyRunReport* report)
{
    MarkTestWorkerThread(true);
    try {
        RunLegacyTests(output, selection, environment, report);
    } catch (const WorkerStopped&) {
        // Taken at a command boundary: nothing more of the run happens. The
        // drive being tested goes back to idle in case no view did that.
        for (const auto& slot : g_devices)
            if (slot && !slot->isController && slot->baseColour == kColourUnderTest) SetIdleColour(*slot);
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
    if (running_.load()) g_bStopRequested = 1;
    Wait();
}

bool LegacyTestRun::Start(OutputWindow* output, const SubtestSelection& selection, const TestEnvironment& environment,
                          std::function<void()> finished)
{
    std::lock_guard lock(startMutex_);
    if (running_.load()) return false;
    if (worker_.joinable()) worker_.join();
    report_ = LegacyRunReport{};
    running_ = true;
    worker_ = std::thread([this, output, selection, environment, finished = std::move(finished)] {
        LegacyTestThreadProc(output, selection, environment, &report_);
        running_ = false;
        if (finished) finished();
    });
    return true;
}

void LegacyTestRun::Wait()
{
    std::lock_guard lock(startMutex_);
    if (worker_.joinable()) worker_.join();
}
