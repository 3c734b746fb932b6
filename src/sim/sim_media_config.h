#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_geometry.h"

// The medium's faults and pace as the bench gives them.
struct SimMediaConfig {
    // Blocks READ cannot recover: MEDIUM ERROR, UNRECOVERED READ ERROR with
    // the block in the information field. Writing one reassigns it, after
    // which it reads again.
    std::vector<uint64_t> unreadableBlocks;
    // Bytes per second READ and WRITE AND VERIFY move to or from the medium;
    // 0: no limit.
    uint64_t mediaRate = 0;
    // Time each READ and WRITE AND VERIFY takes besides the transfer.
    uint32_t latencyMicroseconds = 0;
    // Defect lists in physical sector terms (they need the drive's geometry).
    std::vector<SimPhysicalSector> primaryDefects;
    std::vector<SimPhysicalSector> grownDefects;
};
