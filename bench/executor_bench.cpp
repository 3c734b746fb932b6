// TEST UNIT READY through the executor against the simulated drive, next to
// the simulated drive called directly (the disk model alone, and through its
// transport): what the builder, the record and the stop check add per
// command.
#include <benchmark/benchmark.h>

#include <memory>

#include "scsi/builders.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"

namespace {

struct Bench {
    Bench()
    {
        std::string error;
        catalog = MakeBenchCatalog("", error);
        int errorCode = 0;
        handle = catalog->Open("\\\\.\\physicaldrive0", errorCode);
        disk = static_cast<SimCatalog&>(*catalog).Disk(0);
    }
    std::unique_ptr<DeviceCatalog> catalog;
    DeviceHandle handle;
    SimDisk* disk = nullptr;
};

Bench& Shared()
{
    static Bench bench;
    return bench;
}

void TestUnitReadyThroughExecutor(benchmark::State& state)
{
    Bench& bench = Shared();
    for (auto _ : state) {
        ScsiRequest request;
        const int result = ScsiTestUnitReady(0, request, &bench.handle, 2);
        benchmark::DoNotOptimize(result);
        if (result != kTestUnitReadyGood) state.SkipWithError("drive not ready");
    }
    state.SetItemsProcessed(state.iterations());
}

void TestUnitReadyOnSimulatedDrive(benchmark::State& state)
{
    Bench& bench = Shared();
    const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        SimResult result = bench.disk->Execute(cdb, sizeof cdb, SimDirection::In, nullptr, 0, 2);
        benchmark::DoNotOptimize(result);
        if (result.status != 0) state.SkipWithError("drive not ready");
    }
    state.SetItemsProcessed(state.iterations());
}

// The simulated transport called directly with a request built by hand: the
// drive as the executor sees it, so the difference to the executor row is
// the executor's own cost (builder, header fields, stop check, result).
void TestUnitReadyOnSimulatedTransport(benchmark::State& state)
{
    Bench& bench = Shared();
    for (auto _ : state) {
        ScsiRequest request;
        request.CdbLength = 6;
        request.TimeOutValue = 2;
        request.DataIn = kScsiDataIn;
        const bool delivered = bench.handle->Execute(request);
        benchmark::DoNotOptimize(delivered);
        if (!delivered || request.ScsiStatus != 0) state.SkipWithError("drive not ready");
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(TestUnitReadyOnSimulatedDrive);
BENCHMARK(TestUnitReadyOnSimulatedTransport);
BENCHMARK(TestUnitReadyThroughExecutor);
// Fixed counts, for instruction counts under callgrind that do not depend on
// the machine's load.
BENCHMARK(TestUnitReadyOnSimulatedDrive)->Iterations(100000);
BENCHMARK(TestUnitReadyOnSimulatedTransport)->Iterations(100000);
BENCHMARK(TestUnitReadyThroughExecutor)->Iterations(100000);
BENCHMARK_MAIN();
