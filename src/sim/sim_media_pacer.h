#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

// The time base of a drive's media rate and command latency, so tests pace
// a drive without waiting.
class SimMediaPacer {
public:
    virtual ~SimMediaPacer() = default;
    virtual int64_t NowNanoseconds() = 0;
    virtual void SleepUntilNanoseconds(int64_t deadline) = 0;
};

// Real time: the steady clock.
class SteadyMediaPacer final : public SimMediaPacer {
public:
    int64_t NowNanoseconds() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void SleepUntilNanoseconds(int64_t deadline) override
    {
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadline)));
    }
};
