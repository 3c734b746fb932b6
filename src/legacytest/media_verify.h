#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "scsi/scsi_device.h"

class OutputWindow;
class TestContext;
struct ScsiRequest;
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

// READ CAPACITY (10) at lba with PMI (0 or 1), and READ CAPACITY (16) when
// the last LBA does not fit its 32 bits; on success lba becomes the last
// LBA and blockLength the block length. 4 success, 0 failure (the outputs
// unchanged). The request is the one that failed, for its sense.
int QueryCapacity(TestContext& context, uint64_t& lba, uint32_t& blockLength, int pmi, int report,
                  ScsiRequest* failed = nullptr);

// The capacity read of the surface subtests: last LBA 0 and
// "QueryCapacity Failure" when the drive does not answer. 0 go on, 2 Escape.
int ReadCapacityForTest(OutputWindow* output, uint64_t& lastLba, uint32_t& blockLength, TestContext& context);

// READ of count blocks at lba into the request's buffer: READ (10) where
// every block has a 32-bit address, READ (16) beyond. The executor's result.
int ReadCommand(ScsiRequest& request, DeviceHandle* device, uint64_t lba, uint16_t count, int report);
// WRITE AND VERIFY with byte check, (10) or (16) in the same way.
int WriteVerifyCommand(ScsiRequest& request, DeviceHandle* device, uint64_t lba, uint16_t count, int report);

// READ of count blocks, data discarded, silent. 4, 1, 2 or 0 as above. A
// read counts only when it ends GOOD with all its data.
int ReadBlocks(TestContext& context, uint64_t lba, uint16_t count);

// READ of count blocks into buffer (which must hold them; empty: a buffer
// of its own), failures reported. 4 success, 0 failure.
int ReadBlocksInto(TestContext& context, uint64_t lba, std::span<uint8_t> buffer, uint16_t count);

// Reads count blocks at a time from cursor up to and including lastBlock,
// the last transfer shorter where the blocks left are fewer (4, the cursor
// then past lastBlock) or, with seconds above 0, until more than that many
// whole seconds have passed (3). A failed read leaves the cursor on its
// first block and returns the read's result. transferred, when given, is
// told the blocks of each good transfer as it ends.
int VerifySequentialSlice(TestContext& context, uint64_t& cursor, uint64_t lastBlock, uint16_t count, int seconds,
                          const std::function<void(uint64_t blocks)>& transferred = {});

// n single-block reads spread over the workspace's last LBA less 100 (the
// whole medium on a drive smaller than that). 4 all read, 0 a read failed.
int VerifyRandomBlocks(TestContext& context, TestWorkspace& workspace, int n);
