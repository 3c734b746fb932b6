// "Scan of Entire Drive" against simulated drives: the rate it reaches on a
// drive with a set media rate, the commands per second with no rate or
// latency, and the heap it holds at its peak on a small and on a 2 TiB drive.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>
#include <thread>

#include "drives/device_entry.h"
#include "legacytest/sequence_engine.h"
#include "legacytest/test_context.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "scsi/scsi_request.h"
#include "scsi/stop.h"
#include "sim/sim_catalog.h"
#include "support/forwarding_device.h"

namespace {

constexpr uint64_t kOneGigabyteBlocks = (uint64_t{1} << 30) / 512;
constexpr uint64_t kTwoTebibyteBlocks = uint64_t{1} << 32;

// Heap in use now: every arena, and the chunks malloc maps on its own.
size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Counts what a drive moves, and optionally the heap's high-water mark at
// every command (while the command's buffer is held).
class CountingDevice final : public ForwardingDevice {
public:
    CountingDevice(DeviceHandle inner, bool sampleHeap) : ForwardingDevice(std::move(inner)), sampleHeap_(sampleHeap) {}
    bool Execute(ScsiRequest& request) override
    {
        if (sampleHeap_) peakHeap = std::max(peakHeap, HeapInUse());
        const bool delivered = inner->Execute(request);
        if (request.Cdb[0] == 0x28) {
            ++reads;
            bytes += request.DataTransferLength;
        }
        ++commands;
        return delivered;
    }

    uint64_t commands = 0;
    uint64_t reads = 0;
    uint64_t bytes = 0;
    size_t peakHeap = 0;

private:
    bool sampleHeap_;
};

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
};

// The report lines go nowhere while a scan runs, so the table stays readable.
class QuietConsole {
public:
    QuietConsole() : saved_(std::cout.rdbuf(&null_)) {}
    ~QuietConsole() { std::cout.rdbuf(saved_); }

private:
    NullBuffer null_;
    std::streambuf* saved_;
};

struct ScanDrive {
    ScanDrive(uint64_t blocks, uint64_t mediaRate, bool sampleHeap)
    {
        std::string json = R"({"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE",
            "product": "MVX-SCAN", "blocks": )" + std::to_string(blocks);
        if (mediaRate > 0) json += ", \"mediaRate\": " + std::to_string(mediaRate);
        json += "}]}";
        std::string error;
        catalog = MakeBenchCatalogFromJson(json, error);
        int errorCode = 0;
        counter = std::make_shared<CountingDevice>(catalog->Open("\\\\.\\physicaldrive0", errorCode), sampleHeap);
        entry.handle = counter;
        entry.path = "\\\\.\\physicaldrive0";
        entry.blockLength = 512;
    }

    // Subtest 11 alone; false when it did not run to its end.
    bool Scan()
    {
        SubtestSelection selection;
        selection.run[kSubtestEntireScan] = 1;
        TestEnvironment environment;
        environment.clock = &clock;
        environment.keyboard = &keyboard;
        QuietConsole quiet;
        return RunTestSequence(selection, entry, nullptr, environment) == kSequenceDone;
    }

    std::unique_ptr<DeviceCatalog> catalog;
    std::shared_ptr<CountingDevice> counter;
    DeviceEntry entry;
    SystemClock clock;
    NoKeyboard keyboard;
};

// The scan on a 1 GB drive that moves state.range(0) MB/s: the rate reached
// and its share of the drive's.
void EntireScanAtMediaRate(benchmark::State& state)
{
    const uint64_t rate = static_cast<uint64_t>(state.range(0)) * 1000 * 1000;
    for (auto _ : state) {
        ScanDrive drive(kOneGigabyteBlocks, rate, false);
        const auto start = std::chrono::steady_clock::now();
        if (!drive.Scan()) state.SkipWithError("the scan did not finish");
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double reached = static_cast<double>(drive.counter->bytes) / seconds;
        state.counters["MB/s"] = reached / 1e6;
        state.counters["of_media_rate"] = reached / static_cast<double>(rate);
        state.counters["reads"] = static_cast<double>(drive.counter->reads);
    }
}

// No rate and no latency: how many commands a second the scan, the
// executor and the simulated drive get through together.
void EntireScanCommandsPerSecond(benchmark::State& state)
{
    for (auto _ : state) {
        ScanDrive drive(kOneGigabyteBlocks, 0, false);
        const auto start = std::chrono::steady_clock::now();
        if (!drive.Scan()) state.SkipWithError("the scan did not finish");
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["commands/s"] = static_cast<double>(drive.counter->commands) / seconds;
        state.counters["MB/s"] = static_cast<double>(drive.counter->bytes) / seconds / 1e6;
    }
}

// The heap held at the peak of a scan, above what was held before it: the
// whole scan of a 1 GB drive, and the first seconds of a 2 TiB drive's (its
// whole scan would take an hour; the scan holds nothing that grows with it).
void EntireScanPeakHeap(benchmark::State& state)
{
    const uint64_t blocks = static_cast<uint64_t>(state.range(0));
    for (auto _ : state) {
        ScanDrive drive(blocks, 0, true);
        const size_t before = HeapInUse();
        std::atomic<bool> done{false};
        std::thread worker([&] {
            MarkTestWorkerThread(true);
            try {
                drive.Scan();
            } catch (const WorkerStopped&) {
            }
            MarkTestWorkerThread(false);
            done = true;
        });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!done) g_bStopRequested = 1;
        worker.join();
        g_bStopRequested = 0;
        state.counters["peak_heap_bytes"] = static_cast<double>(drive.counter->peakHeap - std::min(before, drive.counter->peakHeap));
        state.counters["blocks_read"] = static_cast<double>(drive.counter->bytes / 512);
    }
}

}  // namespace

BENCHMARK(EntireScanAtMediaRate)->Arg(400)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(EntireScanCommandsPerSecond)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(EntireScanPeakHeap)
    ->Arg(static_cast<int64_t>(kOneGigabyteBlocks))
    ->Arg(static_cast<int64_t>(kTwoTebibyteBlocks))
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
