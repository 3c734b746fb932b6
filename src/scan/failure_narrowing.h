#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "scan/block_commands.h"
#include "scan/scan_records.h"

// The most commands that narrowing one failed transfer may issue. A region
// whose failures need more is too damaged to list block by block: what is
// left of the transfer is listed as not narrowed, and after two such
// transfers in a row the scan skips ahead (surface_scan.h).
inline constexpr int kNarrowingCommands = 64;
// A failed piece this short is read one block at a time instead of halved.
inline constexpr uint32_t kSingleBlockPiece = 16;

struct NarrowingResult {
    uint64_t blocksRead = 0;
    // The commands ran out before every block was settled.
    bool exhausted = false;
    // Stopped, or the drive was lost: the first block not yet settled;
    // every block before it was read or listed.
    std::optional<uint64_t> endedAt;
    bool driveLost = false;
};

// Where narrowing tells each failing block and each run of blocks it did not
// narrow down, as it finds them, in LBA order.
struct NarrowingSinks {
    std::function<void(const ScanFailure&)> failure;
    std::function<void(const ScanGap&)> gap;
};

// Finds the blocks of a failed transfer that do not read: a piece with a
// failing block named in its sense is split at that block, which is tried
// alone; other failed pieces are halved, and those of kSingleBlockPiece
// blocks or fewer read block by block. Pieces go in LBA order, and a stop
// is taken before every command.
NarrowingResult NarrowFailedTransfer(BlockCommands& commands, ScanMethod method, const ScanRange& transfer,
                                     const BlockResult& failed, const std::atomic<bool>& stop,
                                     const NarrowingSinks& sinks);
