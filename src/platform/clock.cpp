#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

int64_t SystemClock::Now() { return static_cast<int64_t>(std::time(nullptr)); }

int64_t SystemClock::NowMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Clock::Sleep(int64_t milliseconds)
{
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
