#pragma once

#include <chrono>
#include <cstdint>

// Nanoseconds from a fixed moment, never going back: what rates and time
// estimates are measured with. Tests give one that moves only when a drive
// takes time.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual int64_t NowNanoseconds() = 0;
};

class SteadyMonotonicClock final : public MonotonicClock {
public:
    int64_t NowNanoseconds() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
