#include "scan/scan_run.h"

ScanRun::ScanRun(std::vector<ScanTarget> targets, ScanRequest request, MonotonicClock& clock, ScanObserver& observer)
    : request(request), clock(clock), observer(observer)
{
    for (ScanTarget& target : targets) {
        auto drive = std::make_unique<Drive>();
        drive->target = std::move(target);
        drives.push_back(std::move(drive));
    }
}

ScanRun::~ScanRun()
{
    StopAll();
    Wait();
}

void ScanRun::Start()
{
    for (size_t index = 0; index < drives.size(); ++index) {
        Drive& drive = *drives[index];
        if (drive.worker.joinable()) continue;
        drive.running = true;
        drive.worker = std::thread([this, index, &drive] {
            drive.result = SurfaceScan(index, drive.target, request, clock, observer, drive.stop).Run();
            drive.running = false;
        });
    }
}

void ScanRun::Stop(size_t drive) { drives[drive]->stop = true; }

void ScanRun::StopAll()
{
    for (auto& drive : drives) drive->stop = true;
}

bool ScanRun::Running(size_t drive) const { return drives[drive]->running; }

bool ScanRun::AnyRunning() const
{
    for (const auto& drive : drives)
        if (drive->running) return true;
    return false;
}

void ScanRun::Wait()
{
    for (auto& drive : drives)
        if (drive->worker.joinable()) drive->worker.join();
}
