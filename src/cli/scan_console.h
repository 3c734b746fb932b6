#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/json_events.h"
#include "cli/progress_lines.h"
#include "scan/scan_observer.h"

// kestrion-cli scan's output while the drives' scans go: a live line per
// drive and a note for each failing block for people, and, with
// --json-lines, one event a line for programs (start, method, progress
// every kEventPeriodNanoseconds, failure, not_read, end). Either may be
// left out.
class ScanConsole final : public ScanObserver {
public:
    static constexpr int64_t kEventPeriodNanoseconds = 2'000'000'000;
    // A drive's live line is formatted at most this often: a scan sends
    // hundreds of commands a second, and the terminal shows a few.
    static constexpr int64_t kLinePeriodNanoseconds = 100'000'000;

    ScanConsole(std::vector<std::string> paths, ProgressLines* people, JsonEventWriter* events);

    void ScanStarted(size_t drive, const ScanPlan& plan) override;
    void MethodChosen(size_t drive, ScanMethod method, const std::optional<MethodSample>& sample) override;
    void ScanProgressed(size_t drive, const ScanProgress& progress) override;
    void BlockFailed(size_t drive, const ScanFailure& failure) override;
    void BlocksNotRead(size_t drive, const ScanGap& gap) override;
    void ScanEnded(size_t drive, const ScanResult& result) override;

private:
    nlohmann::ordered_json Drive(size_t drive) const;
    // Whether `period` has passed since `last` (then now); never yet counts.
    bool Due(int64_t& last, int64_t now, int64_t period);

    std::vector<std::string> paths;
    ProgressLines* people;
    JsonEventWriter* events;
    std::mutex mutex;
    std::vector<int64_t> eventAt;  // elapsed time of each drive's last progress event
    std::vector<int64_t> lineAt;   // and of its last live line
};

// A drive's result for programs: the --json summary and the end event.
nlohmann::ordered_json ScanResultJson(const ScanResult& result);
// The same after the drive's object: {"drive": {...}, "outcome": ...}.
nlohmann::ordered_json ScanDriveJson(nlohmann::ordered_json drive, const ScanResult& result);
// A drive's result for people: how it ended, then every block it lists.
std::string ScanSummaryText(const std::string& path, const ScanResult& result);
