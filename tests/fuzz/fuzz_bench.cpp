// Bench files come from users: the loader must turn any bytes into a bench
// or a message, and a bench it accepts must give drives that answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/bench.h"
#include "sim/bench_loader.h"
#include "sim/sim_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bench bench;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!LoadBench(text, "fuzz.json", bench, error)) {
        if (error.rfind("fuzz.json:", 0) != 0) std::abort();  // every message names source and line
        return 0;
    }
    if (!error.empty() || bench.buses < 1 || bench.buses > 8) std::abort();

    // A time-out of zero ends an injected hang at once.
    const uint8_t inquiry[6] = {0x12, 0, 0, 0, 0xFF, 0};
    const uint8_t capacity16[16] = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};
    const uint8_t read10[10] = {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    for (const BenchDevice& device : bench.devices) {
        if (device.bus >= bench.buses) std::abort();
        SimDisk disk(device.drive);
        uint8_t buffer[65536];
        disk.Execute(inquiry, sizeof inquiry, SimDirection::In, buffer, 255, 0);
        disk.Execute(capacity16, sizeof capacity16, SimDirection::In, buffer, 32, 0);
        disk.Execute(read10, sizeof read10, SimDirection::In, buffer, sizeof buffer, 0);
    }
    return 0;
}
