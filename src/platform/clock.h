#pragma once

#include <cstdint>

// Whole seconds, so that scans' time slices and ready loops can be driven
// by a fake clock in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t Now() = 0;
    // Milliseconds on a steady time base, for measuring how fast something
    // goes: only differences mean anything. By default Now() in milliseconds.
    virtual int64_t NowMilliseconds() { return Now() * 1000; }
    // Waits about this long before a command is tried again. A fake clock
    // moves its time on instead, so no test waits.
    virtual void Sleep(int64_t milliseconds);
};

class SystemClock final : public Clock {
public:
    int64_t Now() override;
    int64_t NowMilliseconds() override;
};
