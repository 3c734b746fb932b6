#pragma once

#include <chrono>
#include <thread>

// A wait between two polls of a drive, so that tests can let time pass
// without sleeping.
class Pause {
public:
    virtual ~Pause() = default;
    virtual void For(std::chrono::milliseconds duration) = 0;
};

class SleepingPause final : public Pause {
public:
    void For(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};
