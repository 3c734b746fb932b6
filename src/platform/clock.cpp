#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

int64_t SystemClock::Now() { return static_cast<int64_t>(std::time(nullptr)); }

void Clock::Sleep(int64_t milliseconds)
{
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
