#pragma once

#include <atomic>
#include <cstdint>

#include "platform/monotonic_clock.h"
#include "sim/sim_media_pacer.h"

// Time that passes only while a simulated drive works: the clock a scan
// measures with and the pacer of the drives' media in one, so rates and
// estimates come out exact and no test waits.
class MediaTime final : public MonotonicClock, public SimMediaPacer {
public:
    int64_t NowNanoseconds() override { return now.load(); }
    void SleepUntilNanoseconds(int64_t deadline) override { Advance(deadline - now.load()); }
    void Advance(int64_t nanoseconds)
    {
        if (nanoseconds > 0) now += nanoseconds;
    }

    std::atomic<int64_t> now{5'000'000'000};
};
