#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_disk.h"
#include "support/hex_fixture.h"

namespace simtest {

// A plain 512-byte-block disk of 1000 blocks, ready, no faults.
inline SimDriveConfig PlainDrive()
{
    SimDriveConfig config;
    config.vendor = "MORVANE";
    config.product = "MVX-TEST";
    config.revision = "0100";
    config.serial = "SN000001";
    config.blocks = 1000;
    config.blockLength = 512;
    return config;
}

// Each reading moves time on by a second, so a time-out passes in a few
// polls of real time.
class SteppingClock final : public Clock {
public:
    int64_t Now() override { return now_.fetch_add(1); }

private:
    std::atomic<int64_t> now_{1000};
};

}  // namespace simtest
