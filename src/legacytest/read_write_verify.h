#pragma once

#include <cstdint>

class TestContext;
struct TestWorkspace;

inline constexpr int kRwvOk = 4;
inline constexpr int kRwvFailed = 0;

// Times the old data are written back before the pass gives up, with a
// short wait before each attempt after the first.
inline constexpr int kRestoreAttempts = 5;
inline constexpr int64_t kRestorePauseMilliseconds = 1000;

// Reads count blocks at lba, writes them back with every byte plus one
// (WRITE AND VERIFY with byte check), then writes the old data back the
// same way. Nothing is written unless the old data were read whole (GOOD,
// or RECOVERED ERROR with all the data); once they were, they are always
// written back, tried again after a failure, and when they still cannot go
// back the report says so with the LBA and the old data. 4 success, 0
// failure; messages go to the workspace's output window and clog.
int ReadWriteVerifyBlocks(TestContext& context, TestWorkspace& workspace, uint64_t lba, uint16_t count,
                          uint32_t bytesPerBlock);
