#pragma once

#include <cstdint>

// Whole seconds, so that scans' time slices and ready loops can be driven
// by a fake clock in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t Now() = 0;
};

class SystemClock final : public Clock {
public:
    int64_t Now() override;
};
