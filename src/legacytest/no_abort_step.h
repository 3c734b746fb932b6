#pragma once

#include <cstdint>

#include "scsi/stop.h"

// A step a stop request must not cut off: while one lives the executor
// leaves a pending stop for the first command after it, and the results
// dialog's CANCEL does nothing. Steps may nest.
class NoAbortStep {
public:
    NoAbortStep() : previous_(g_bNoAbort.exchange(1)) {}
    ~NoAbortStep() { g_bNoAbort.store(previous_); }
    NoAbortStep(const NoAbortStep&) = delete;
    NoAbortStep& operator=(const NoAbortStep&) = delete;

private:
    uint8_t previous_;
};
