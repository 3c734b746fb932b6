#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "scan/scan_observer.h"
#include "scan/surface_scan.h"
#include "scsi/byte_order.h"
#include "sim/sim_device.h"
#include "sim/sim_disk.h"
#include "sim/sim_test_support.h"
#include "support/tap_device.h"

namespace scantest {

// The blocks a READ or VERIFY (10) or (16) names; none for other commands.
inline std::optional<ScanRange> MediaBlocks(const uint8_t* cdb)
{
    const bool ten = cdb[0] == 0x28 || cdb[0] == 0x2F;
    if (!ten && cdb[0] != 0x88 && cdb[0] != 0x8F) return std::nullopt;
    const uint64_t lba = ten ? LoadBe32(cdb + 2) : LoadBe64(cdb + 2);
    const uint64_t count = ten ? LoadBe16(cdb + 7) : LoadBe32(cdb + 10);
    return ScanRange{lba, lba + count - 1};
}

// What scans told, per drive, from any thread.
class ScanRecorder final : public ScanObserver {
public:
    struct Drive {
        std::vector<ScanMethod> chosen;
        std::vector<ScanProgress> progress;
        std::vector<ScanFailure> failures;
        size_t ended = 0;
    };

    void ScanStarted(size_t, const ScanPlan&) override {}
    void MethodChosen(size_t drive, ScanMethod method, const std::optional<MethodSample>&) override
    {
        With(drive, [&](Drive& d) { d.chosen.push_back(method); });
    }
    void ScanProgressed(size_t drive, const ScanProgress& progress) override
    {
        With(drive, [&](Drive& d) { d.progress.push_back(progress); });
    }
    void BlockFailed(size_t drive, const ScanFailure& failure) override
    {
        With(drive, [&](Drive& d) { d.failures.push_back(failure); });
    }
    void BlocksNotRead(size_t, const ScanGap&) override {}
    void ScanEnded(size_t drive, const ScanResult&) override { With(drive, [](Drive& d) { ++d.ended; }); }

    Drive Of(size_t drive)
    {
        std::lock_guard lock(mutex);
        return drives[drive];
    }

private:
    void With(size_t drive, const std::function<void(Drive&)>& change)
    {
        std::lock_guard lock(mutex);
        change(drives[drive]);
    }
    std::mutex mutex;
    std::map<size_t, Drive> drives;
};

// A simulated drive of `blocks` blocks behind an adapter that moves at most
// adapterLimit bytes a command, with a tap in front of it.
struct SimDrive {
    SimDrive(uint64_t blocks, uint32_t blockLength, uint32_t adapterLimit, std::vector<uint64_t> unreadable = {})
    {
        SimDriveConfig config = simtest::PlainDrive();
        config.blocks = blocks;
        config.blockLength = blockLength;
        config.media.unreadableBlocks = std::move(unreadable);
        Make(config, adapterLimit);
    }
    SimDrive(const SimDriveConfig& config, uint32_t adapterLimit) { Make(config, adapterLimit); }

    ScanTarget Target() const
    {
        return {"\\\\.\\physicaldrive0", tap, disk->Config().blocks - 1, disk->Config().blockLength};
    }
    // The blocks each READ or VERIFY of the drive asked for, in order.
    std::vector<ScanRange> MediaCommands(bool goodOnly = false) const
    {
        std::vector<ScanRange> ranges;
        for (const SeenCommand& seen : tap->Commands()) {
            if (goodOnly && (!seen.delivered || seen.status != 0)) continue;
            if (const auto blocks = MediaBlocks(seen.cdb.data())) ranges.push_back(*blocks);
        }
        return ranges;
    }

    std::shared_ptr<SimDisk> disk;
    std::shared_ptr<TapDevice> tap;

private:
    void Make(const SimDriveConfig& config, uint32_t adapterLimit)
    {
        disk = std::make_shared<SimDisk>(config);
        auto adapter = std::make_shared<SimAdapter>();
        adapter->capabilities.maximumTransferLength = adapterLimit;
        tap = std::make_shared<TapDevice>(std::make_shared<SimScsiDevice>(disk, adapter, 0, 0));
    }
};

}  // namespace scantest
