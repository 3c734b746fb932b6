#include "platform/stop_signals.h"

#include <pthread.h>

#include <ctime>
#include <exception>

#include "scsi/stop.h"

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// How long the watcher waits for a signal before it looks whether the guard
// is going.
constexpr timespec kWatchPeriod{0, 50'000'000};

// The signal's own default action: the program ends as if no guard had been.
[[noreturn]] void EndBySignal(int signal)
{
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    std::terminate();  // not reached: each of these signals ends the program by default
}

}  // namespace

StopSignals::StopSignals(std::function<void()> alsoOnStop) : alsoOnStop_(std::move(alsoOnStop))
{
    sigemptyset(&signals_);
    for (const int signal : kStopSignals) sigaddset(&signals_, signal);
    pthread_sigmask(SIG_BLOCK, &signals_, &previousMask_);
    watcher_ = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals()
{
    ending_.store(true);
    watcher_.join();
    // One that came after the watcher's last look is too late to stop
    // anything, and must not end the program once unblocked.
    const timespec now{0, 0};
    while (sigtimedwait(&signals_, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void StopSignals::Watch()
{
    while (!ending_.load()) {
        const int signal = sigtimedwait(&signals_, nullptr, &kWatchPeriod);
        if (signal > 0) Take(signal);
    }
}

void StopSignals::Take(int signal)
{
    if (taken_[signal]) EndBySignal(signal);
    taken_[signal] = true;
    g_bStopRequested.store(1);
    if (alsoOnStop_) alsoOnStop_();
}
