#include "platform/clock.h"

#include <ctime>

int64_t SystemClock::Now() { return static_cast<int64_t>(std::time(nullptr)); }
