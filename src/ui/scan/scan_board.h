#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "scan/scan_observer.h"

// What the scan window shows of each drive, gathered from the scans'
// worker threads and taken by the user-interface thread at each tick, so a
// drive's commands never wait for the window.
class ScanBoard final : public ScanObserver {
public:
    struct Row {
        std::optional<ScanProgress> progress;
        std::optional<ScanMethod> method;
        std::optional<ScanResult> result;
    };

    ScanBoard(std::vector<std::string> names);

    void ScanStarted(size_t drive, const ScanPlan& plan) override;
    void MethodChosen(size_t drive, ScanMethod method, const std::optional<MethodSample>& sample) override;
    void ScanProgressed(size_t drive, const ScanProgress& progress) override;
    void BlockFailed(size_t drive, const ScanFailure& failure) override;
    void BlocksNotRead(size_t drive, const ScanGap& gap) override;
    void ScanEnded(size_t drive, const ScanResult& result) override;

    std::vector<Row> Rows() const;
    // The report lines written since the last call.
    std::vector<std::string> TakeNotes();

private:
    void AddNote(size_t drive, const std::string& text);

    const std::vector<std::string> names;
    mutable std::mutex mutex;
    std::vector<Row> rows;
    std::vector<std::string> notes;
};
