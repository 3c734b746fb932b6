#include "scan/scan_run.h"

ScanRun::ScanRun(std::vector<ScanTarget> targets, ScanRequest request, MonotonicClock& clock, ScanObserver& observer,
                 bool parallel)
    : request(request), clock(clock), observer(observer), parallel(parallel)
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

void ScanRun::ScanDrive(size_t index)
{
    Drive& drive = *drives[index];
    drive.result = SurfaceScan(index, drive.target, request, clock, observer, drive.stop).Run();
    drive.running = false;
}

void ScanRun::Start()
{
    if (sequence.joinable()) return;
    for (auto& drive : drives)
        if (drive->worker.joinable()) return;
    for (auto& drive : drives) drive->running = true;
    if (!parallel) {
        sequence = std::thread([this] {
            for (size_t index = 0; index < drives.size(); ++index) ScanDrive(index);
        });
        return;
    }
    for (size_t index = 0; index < drives.size(); ++index)
        drives[index]->worker = std::thread([this, index] { ScanDrive(index); });
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
    if (sequence.joinable()) sequence.join();
    for (auto& drive : drives)
        if (drive->worker.joinable()) drive->worker.join();
}
