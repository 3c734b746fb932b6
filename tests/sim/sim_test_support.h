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

struct Answer {
    SimResult result;
    std::vector<uint8_t> data;  // the data-in bytes the target placed
};

// Sends a command with a data-in buffer of bufferLength bytes (filled with
// AAh so untouched bytes show).
inline Answer RunIn(SimDisk& disk, const std::vector<uint8_t>& cdb, uint32_t bufferLength = 512,
                    uint32_t timeOut = 10)
{
    std::vector<uint8_t> buffer(bufferLength, 0xAA);
    Answer answer;
    answer.result = disk.Execute(cdb.data(), cdb.size(), SimDirection::In, buffer.data(), bufferLength, timeOut);
    answer.data.assign(buffer.begin(), buffer.begin() + answer.result.dataInLength);
    return answer;
}

inline Answer RunOut(SimDisk& disk, const std::vector<uint8_t>& cdb, std::vector<uint8_t> data)
{
    Answer answer;
    answer.result = disk.Execute(cdb.data(), cdb.size(), SimDirection::Out, data.data(),
                                 static_cast<uint32_t>(data.size()), 10);
    return answer;
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
