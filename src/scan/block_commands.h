#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "scan/scan_records.h"
#include "scsi/scsi_device.h"

// A drive may take this long over a block it struggles to read before the
// host gives up on the command.
inline constexpr uint32_t kScanTimeOutSeconds = 60;
// The drive is taken as gone after this many commands in a row that never
// reached it.
inline constexpr int kCallFailuresOfALostDrive = 3;

// What one READ or VERIFY of a run of blocks came to.
struct BlockResult {
    bool read = false;  // every block read: GOOD with all its data, or RECOVERED ERROR
    bool reachedDrive = true;
    uint8_t status = 0;
    SenseCodes sense;
    // The first block the drive could not read, where its sense names one.
    std::optional<uint64_t> information;

    ScanFailure FailureAt(uint64_t lba) const { return {lba, reachedDrive, status, sense}; }
};

// READ or VERIFY of up to maxBlocks blocks at a time, with READ (10) and
// VERIFY (10) where every block has a 32-bit address and the count fits 16
// bits, the 16-byte forms otherwise. READ reads into one buffer of
// maxBlocks blocks, kept for the whole scan: memory does not grow with the
// drive.
class BlockCommands {
public:
    BlockCommands(DeviceHandle handle, uint32_t blockLength, uint32_t maxBlocks);

    BlockResult Issue(ScanMethod method, uint64_t lba, uint32_t count);
    // The last kCallFailuresOfALostDrive commands all failed to reach it.
    bool DriveLost() const { return callFailuresInARow >= kCallFailuresOfALostDrive; }

private:
    DeviceHandle handle;
    uint32_t blockLength;
    uint32_t maxBlocks;
    std::vector<uint8_t> buffer;
    int callFailuresInARow = 0;
};
