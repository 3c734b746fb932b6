#pragma once

#include <cstdint>

#include "scsi/stop.h"

// A step a stop request must not cut off: while one lives the executor
// leaves a pending stop for the first command after it, and the results
// dialog's CANCEL does nothing. Steps may nest. A worker of one drive among
// several holds back its own stop only.
class NoAbortStep {
public:
    NoAbortStep() : flag_(NoAbortFlag()), previous_(flag_.exchange(1)) {}
    ~NoAbortStep() { flag_.store(previous_); }
    NoAbortStep(const NoAbortStep&) = delete;
    NoAbortStep& operator=(const NoAbortStep&) = delete;

private:
    std::atomic<uint8_t>& flag_;
    uint8_t previous_;
};
