#pragma once

#include <atomic>
#include <cstdint>

// Set by STOP / CANCEL; taken by the executor at the next command of the
// test worker thread.
extern std::atomic<uint8_t> g_bStopRequested;
// Nonzero while the test engine is in a step that must not be cut off.
extern std::atomic<uint8_t> g_bNoAbort;

// The thread that runs a test sequence marks itself; only its commands act
// on a pending stop.
void MarkTestWorkerThread(bool isWorker = true);
bool IsTestWorkerThread();

// Thrown by the executor on the worker thread when a stop is taken; caught
// only at the worker's entry. The only exception the program throws.
struct WorkerStopped {};
