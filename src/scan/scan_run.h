#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

#include "scan/scan_observer.h"
#include "scan/surface_scan.h"

class MonotonicClock;

// Surface scans of several drives, each with its own stop and result. All at
// once (parallel), one worker thread per drive: a drive that fails, hangs or
// is stopped holds no other up. Otherwise one worker scans them one after
// another, and a drive stopped before its turn ends at its first block.
class ScanRun {
public:
    ScanRun(std::vector<ScanTarget> targets, ScanRequest request, MonotonicClock& clock, ScanObserver& observer,
            bool parallel = true);
    // Stops every scan still running and waits for it.
    ~ScanRun();
    ScanRun(const ScanRun&) = delete;
    ScanRun& operator=(const ScanRun&) = delete;

    void Start();
    // The drive's scan ends before its next command.
    void Stop(size_t drive);
    void StopAll();
    bool Running(size_t drive) const;
    bool AnyRunning() const;
    // Waits until every scan has ended.
    void Wait();

    size_t Size() const { return drives.size(); }
    const ScanTarget& Target(size_t drive) const { return drives[drive]->target; }
    // The drive's result, once Running(drive) is false.
    const ScanResult& Result(size_t drive) const { return drives[drive]->result; }

private:
    struct Drive {
        ScanTarget target;
        std::atomic<bool> stop{false};
        std::atomic<bool> running{false};
        ScanResult result;
        std::thread worker;
    };

    void ScanDrive(size_t index);

    ScanRequest request;
    MonotonicClock& clock;
    ScanObserver& observer;
    std::vector<std::unique_ptr<Drive>> drives;
    bool parallel;
    std::thread sequence;  // the one worker when not parallel
};
