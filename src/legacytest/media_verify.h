#pragma once

#include <cstdint>
#include <span>

class OutputWindow;
class TestContext;
struct TestWorkspace;

// Results of the verify primitives, compared exactly by the engine.
inline constexpr int kReadOk = 4;
inline constexpr int kReadStatusFailed = 1;  // the drive answered with a status
inline constexpr int kReadCallFailed = 2;    // never reached the drive
inline constexpr int kReadNoMemory = 0;
inline constexpr int kSliceLimitReached = 4;
inline constexpr int kSliceTimeUsedUp = 3;

inline constexpr int kCapacityOk = 4;
inline constexpr int kCapacityFailed = 0;
inline constexpr int kCapacityContinue = 0;
inline constexpr int kCapacityEscape = 2;

// READ CAPACITY (10) at lba with PMI (0 or 1); on success lba becomes the
// last LBA and blockLength the block length. 4 success, 0 failure (the
// outputs unchanged).
int QueryCapacity(TestContext& context, uint32_t& lba, uint32_t& blockLength, int pmi, int report);

// The capacity read of the surface subtests: last LBA 0 and
// "QueryCapacity Failure" when the drive does not answer. 0 go on, 2 Escape.
int ReadCapacityForTest(OutputWindow* output, uint32_t& lastLba, uint32_t& blockLength, TestContext& context);

// READ (10) of count blocks, data discarded, silent. 4, 1, 2 or 0 as above.
int ReadBlocks(TestContext& context, uint32_t lba, uint16_t count);

// READ (10) of count blocks into buffer (which must hold them; empty: a
// buffer of its own), failures reported. 4 success, 0 failure.
int ReadBlocksInto(TestContext& context, uint32_t lba, std::span<uint8_t> buffer, uint16_t count);

// Reads count blocks at a time from cursor until the next read would reach
// limit (4) or, with seconds above 0, until more than that many whole
// seconds have passed (3). A failed read leaves the cursor on its first
// block and returns the read's result.
int VerifySequentialSlice(TestContext& context, uint32_t& cursor, uint32_t limit, uint16_t count, int seconds);

// n single-block reads spread over the workspace's last LBA less 100 (the
// whole medium on a drive smaller than that). 4 all read, 0 a read failed.
int VerifyRandomBlocks(TestContext& context, TestWorkspace& workspace, int n);
