#pragma once

#include <cstdint>
#include <optional>

// One read of the surface subtests that the drive did not complete: the
// blocks it asked for and, where the sense data's information field was
// valid, the block the drive could not read.
struct ReadFailure {
    int subtest = -1;
    uint64_t lba = 0;
    uint32_t blocks = 0;
    std::optional<uint64_t> failingLba;
};
