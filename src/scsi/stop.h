#pragma once

#include <atomic>
#include <cstdint>

// Set by STOP / CANCEL; taken by the executor at the next command of the
// test worker thread. Where a run has a worker per drive it means "stop
// all": every worker takes it, and the run clears it once all have ended.
extern std::atomic<uint8_t> g_bStopRequested;
// Nonzero while the test engine is in a step that must not be cut off.
extern std::atomic<uint8_t> g_bNoAbort;

// The stop flags of one worker of a run with a worker per drive: STOP on
// one drive's row reaches that drive's worker alone, and a step of one
// drive that must not be cut off holds back no other drive's stop.
struct StopToken {
    std::atomic<uint8_t> stopRequested{0};
    std::atomic<uint8_t> noAbort{0};
};

// The thread that runs a test sequence marks itself; only its commands act
// on a pending stop. A worker marked without a token uses the two flags
// above; one marked with a token uses its own, and g_bStopRequested too.
void MarkTestWorkerThread(bool isWorker = true);
void MarkTestWorkerThread(StopToken& token);
bool IsTestWorkerThread();
// The calling worker's token; null for a worker of the two flags above and
// for any other thread.
StopToken* CurrentStopToken();
// The no-abort flag that holds back the calling thread's stop.
std::atomic<uint8_t>& NoAbortFlag();

// Thrown by the executor on the worker thread when a stop is taken; caught
// only at the worker's entry. The only exception the program throws.
struct WorkerStopped {};
