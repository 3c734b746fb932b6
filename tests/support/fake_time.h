#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/clock.h"
#include "platform/pause.h"

// Time that passes only when told to, or when someone pauses on it: a
// clock and a pause in one, safe to share between threads.
class FakeTime final : public Clock, public Pause {
public:
    explicit FakeTime(int64_t startSeconds = 1000) : milliseconds(startSeconds * 1000) {}

    int64_t Now() override { return milliseconds.load() / 1000; }
    int64_t NowMilliseconds() override { return milliseconds.load(); }
    void For(std::chrono::milliseconds duration) override { Advance(duration); }

    void Advance(std::chrono::milliseconds duration) { milliseconds += duration.count(); }
    void AdvanceSeconds(int64_t seconds) { milliseconds += seconds * 1000; }

private:
    std::atomic<int64_t> milliseconds;
};
