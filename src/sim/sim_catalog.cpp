#include "sim/sim_catalog.h"

#include <cerrno>

#include "sim/bench.h"
#include "sim/bench_loader.h"
#include "sim/default_bench.h"
#include "sim/sim_disk.h"

namespace {

std::unique_ptr<DeviceCatalog> CatalogOf(bool loaded, const Bench& bench, std::string& error)
{
    if (!loaded) return nullptr;
    error.clear();
    return std::make_unique<SimCatalog>(bench);
}

}  // namespace

SimCatalog::SimCatalog(const Bench& bench) : adapter_(std::make_shared<SimAdapter>())
{
    adapter_->buses = bench.buses;
    adapter_->capabilities = bench.capabilities;
    for (const BenchDevice& device : bench.devices) {
        auto disk = std::make_shared<SimDisk>(device.drive);
        drives_[device.driveNumber] = {disk, device.adapterListError, device.capabilitiesError};
        if (device.inAdapterList)
            adapter_->listed.push_back({device.bus, device.targetId, device.lun, device.claimed, disk});
    }
}

DeviceHandle SimCatalog::Open(const std::string& path, int& errorCode)
{
    const std::optional<uint32_t> number = DriveNumberOfPath(path);
    const auto found = number ? drives_.find(*number) : drives_.end();
    if (found == drives_.end()) {
        errorCode = ENOENT;
        return nullptr;
    }
    errorCode = 0;
    const Drive& drive = found->second;
    return std::make_shared<SimScsiDevice>(drive.disk, adapter_, drive.adapterListError, drive.capabilitiesError);
}

std::vector<uint32_t> SimCatalog::DriveNumbers() const
{
    std::vector<uint32_t> numbers;
    for (const auto& [number, drive] : drives_) numbers.push_back(number);
    return numbers;
}

SimDisk* SimCatalog::Disk(uint32_t driveNumber) const
{
    const auto found = drives_.find(driveNumber);
    return found == drives_.end() ? nullptr : found->second.disk.get();
}

std::unique_ptr<DeviceCatalog> MakeBenchCatalog(const std::string& benchFile, std::string& error)
{
    Bench bench;
    if (benchFile.empty()) return CatalogOf(LoadBench(DefaultBenchJson(), kDefaultBenchName, bench, error), bench, error);
    return CatalogOf(LoadBenchFile(benchFile, bench, error), bench, error);
}

std::unique_ptr<DeviceCatalog> MakeBenchCatalogFromJson(const std::string& json, std::string& error)
{
    Bench bench;
    return CatalogOf(LoadBench(json, "bench", bench, error), bench, error);
}
