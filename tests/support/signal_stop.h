#pragma once

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "scsi/stop.h"

// Sends the process a signal, as a user or a service manager would, and
// waits until a StopSignals guard has turned it into a stop request.
inline bool SignalAndWaitForStop(int signal)
{
    if (::kill(::getpid(), signal) != 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_bStopRequested.load() == 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
