#pragma once

#include <cstdint>

class TestContext;
struct TestWorkspace;

inline constexpr int kRwvOk = 4;
inline constexpr int kRwvFailed = 0;

// Reads count blocks at lba, writes them back with every byte plus one
// (WRITE AND VERIFY with byte check), then writes the old data back the
// same way. Once the old data were read they are always written back,
// whatever failed in between. 4 success, 0 failure; messages go to the
// workspace's output window and clog.
int ReadWriteVerifyBlocks(TestContext& context, TestWorkspace& workspace, uint32_t lba, uint16_t count,
                          uint32_t bytesPerBlock);
