#pragma once

#include <cstddef>
#include <optional>

#include "scan/scan_records.h"

// What a running scan tells as it goes, from the thread that runs it.
// drive: the scan's place among the drives of its run. Several drives'
// scans call one observer at the same time.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    virtual void ScanStarted(size_t drive, const ScanPlan& plan) = 0;
    // Once, when the method is settled: at once when the user chose it,
    // after the samples otherwise.
    virtual void MethodChosen(size_t drive, ScanMethod method, const std::optional<MethodSample>& sample) = 0;
    // After every command of the scan's own sequence (not while a failed
    // transfer is narrowed down).
    virtual void ScanProgressed(size_t drive, const ScanProgress& progress) = 0;
    virtual void BlockFailed(size_t drive, const ScanFailure& failure) = 0;
    virtual void BlocksNotRead(size_t drive, const ScanGap& gap) = 0;
    virtual void ScanEnded(size_t drive, const ScanResult& result) = 0;
};
