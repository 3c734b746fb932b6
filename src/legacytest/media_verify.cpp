#include "legacytest/media_verify.h"

#include <iostream>
#include <limits>
#include <memory>
#include <vector>

#include "legacytest/test_context.h"
#include "scsi/builders.h"
#include "scsi/report.h"
#include "shell/device_entry.h"

namespace {

constexpr uint32_t kCapacityLength = 8;
constexpr uint32_t kRandomTail = 100;

uint32_t Be32(const uint8_t* bytes)
{
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

}  // namespace

uint32_t TestContext::BytesPerBlock() const
{
    if (blockLength != 0) return blockLength;
    if (workspace.device != nullptr && workspace.device->blockLength != 0) return workspace.device->blockLength;
    return kDefaultBlockLength;
}

int QueryCapacity(TestContext& context, uint32_t& lba, uint32_t& blockLength, int pmi, int report)
{
    uint8_t data[kCapacityLength] = {};
    ScsiRequest request;
    request.DataBuffer = data;
    request.DataTransferLength = kCapacityLength;
    if (ScsiReadCapacity(static_cast<uint8_t>(pmi), lba, request, context.Device(), report) != 1) return kCapacityFailed;
    lba = Be32(data);
    blockLength = Be32(data + 4);
    return kCapacityOk;
}

int ReadCapacityForTest(OutputWindow* output, uint32_t& lastLba, uint32_t& blockLength, TestContext& context)
{
    lastLba = 0;
    uint32_t lba = 0;
    if (QueryCapacity(context, lba, blockLength, 0, 1) != kCapacityOk) {
        ReportBlock(output, "QueryCapacity Failure");
        return kCapacityContinue;
    }
    lastLba = lba;
    return context.EscapePressed() ? kCapacityEscape : kCapacityContinue;
}

int ReadBlocks(TestContext& context, uint32_t lba, uint16_t count)
{
    const size_t size = size_t{count} * context.BytesPerBlock();
    // Contents are discarded, so the buffer is not cleared first.
    const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!buffer) return kReadNoMemory;
    ScsiRequest request;
    request.DataBuffer = buffer.get();
    request.DataTransferLength = static_cast<uint32_t>(size);
    if (ScsiRead10(&lba, &count, request, context.Device(), 0) == 1) return kReadOk;
    return request.ScsiStatus == 0 ? kReadCallFailed : kReadStatusFailed;
}

int ReadBlocksInto(TestContext& context, uint32_t lba, std::span<uint8_t> buffer, uint16_t count)
{
    const size_t size = size_t{count} * context.BytesPerBlock();
    std::vector<uint8_t> own;
    if (buffer.size() < size) {
        own.resize(size);
        buffer = own;
    }
    ScsiRequest request;
    request.DataBuffer = buffer.data();
    request.DataTransferLength = static_cast<uint32_t>(size);
    if (ScsiRead10(&lba, &count, request, context.Device(), 1) == 1) return kReadOk;
    std::clog << std::endl;
    return 0;
}

int VerifySequentialSlice(TestContext& context, uint32_t& cursor, uint32_t limit, uint16_t count, int seconds)
{
    const int64_t start = context.Now();
    // 64-bit ends: on a drive whose last LBA is near 2^32 a 32-bit end would
    // wrap round to LBA 0 and the scan would never finish.
    uint64_t lba = cursor;
    uint64_t end = lba + count;
    while (end < limit) {
        const int result = ReadBlocks(context, static_cast<uint32_t>(lba), count);
        if (result != kReadOk) {
            cursor = static_cast<uint32_t>(lba);
            return result;
        }
        lba += count;
        end += count;
        if (seconds > 0 && context.Now() - start > seconds) {
            cursor = static_cast<uint32_t>(lba);
            return kSliceTimeUsedUp;
        }
    }
    cursor = static_cast<uint32_t>(std::min<uint64_t>(end, std::numeric_limits<uint32_t>::max()));
    return kSliceLimitReached;
}

int VerifyRandomBlocks(TestContext& context, TestWorkspace& workspace, int n)
{
    // Below 100 blocks the tail cannot be left out; the range would wrap
    // round and the reads would go past the medium.
    const uint32_t range = workspace.lastLba >= kRandomTail ? workspace.lastLba - kRandomTail : workspace.lastLba;
    std::vector<uint8_t> buffer(context.BytesPerBlock());
    for (int i = 0; i < n; ++i) {
        const int r = context.random.Next();
        const auto lba = static_cast<uint32_t>(static_cast<double>(r) * range * (1.0 / TestRandom::kMax));
        if (ReadBlocksInto(context, lba, buffer, 1) != kReadOk) return 0;
    }
    return 4;
}
