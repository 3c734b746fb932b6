#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

// While it lives, SIGINT, SIGTERM and SIGHUP ask the running operation to
// stop, as its STOP button does (g_bStopRequested): the test worker ends at
// its next command and puts back what it changed, a self-test run aborts
// its tests and writes its log. A second signal of the same kind ends the
// program at once, for a drive that holds a command longer than anyone can
// wait.
//
// The signals are blocked in the thread that builds the guard and in every
// thread it starts afterwards, and taken by a watcher of the guard's own: a
// handler run inside a drive command would cut that command off (EINTR),
// losing its answer or sending it twice. Build the guard before the run
// starts its threads.
//
// A run with stops of its own (one per drive) names what a signal does
// besides: alsoOnStop, called on the watcher's thread.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> alsoOnStop = {});
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    void Watch();
    void Take(int signal);

    sigset_t signals_{};
    sigset_t previousMask_{};
    std::function<void()> alsoOnStop_;
    std::atomic<bool> ending_{false};
    bool taken_[NSIG] = {};
    std::thread watcher_;
};
