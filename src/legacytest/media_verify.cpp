#include "legacytest/media_verify.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <memory>
#include <vector>

#include "drives/device_entry.h"
#include "legacytest/test_context.h"
#include "scsi/builders.h"
#include "scsi/byte_order.h"
#include "scsi/inquiry_data.h"
#include "scsi/report.h"
#include "scsi/sense.h"

namespace {

constexpr uint32_t kCapacity10Length = 8;
constexpr uint32_t kCapacity16Length = 32;
constexpr uint32_t kCapacity16Needed = 12;  // last LBA and block length
constexpr uint64_t kRandomTail = 100;
constexpr uint64_t kLast32BitLba = std::numeric_limits<uint32_t>::max();

// READ (10) and WRITE AND VERIFY (10) address blocks up to FFFFFFFFh.
bool FitsTenByteCdb(uint64_t lba, uint16_t count)
{
    return lba <= kLast32BitLba && (count == 0 || lba + count - 1 <= kLast32BitLba);
}

// The block in the information field of fixed-format sense, when the drive
// marked it valid (SPC-4 4.5.3).
std::optional<uint64_t> InformationLba(const ScsiRequest& request)
{
    if (request.ScsiStatus != kStatusCheckCondition) return std::nullopt;
    return ReadSenseInformation(request.SenseData, sizeof request.SenseData);
}

// A read counts only when it ended GOOD and every byte asked for arrived;
// a failed one is kept for the report.
int ReadResult(TestContext& context, int executed, const ScsiRequest& request, uint64_t lba, uint16_t count)
{
    if (executed == 1 && DataTransferred(request) == request.DataTransferLength) return kReadOk;
    context.lastReadFailure = ReadFailure{-1, lba, count, InformationLba(request)};
    // The executor leaves the status 0 only when the call itself failed.
    return executed == 1 || request.ScsiStatus != 0 ? kReadStatusFailed : kReadCallFailed;
}

}  // namespace

uint32_t TestContext::BytesPerBlock() const
{
    if (blockLength != 0) return blockLength;
    if (workspace.device != nullptr && workspace.device->blockLength != 0) return workspace.device->blockLength;
    return kDefaultBlockLength;
}

int QueryCapacity(TestContext& context, uint64_t& lba, uint32_t& blockLength, int pmi, int report, ScsiRequest* failed)
{
    uint8_t data10[kCapacity10Length] = {};
    ScsiRequest request;
    request.DataBuffer = data10;
    request.DataTransferLength = kCapacity10Length;
    const auto address = static_cast<uint32_t>(std::min(lba, kLast32BitLba));
    const bool read10 = ScsiReadCapacity(static_cast<uint8_t>(pmi), address, request, context.Device(), report) == 1 &&
                        DataTransferred(request) >= kCapacity10Length;
    if (!read10) {
        if (failed) *failed = request;
        return kCapacityFailed;
    }
    const Capacity10 capacity = DecodeReadCapacity10(data10, sizeof data10);
    if (capacity.lastLba != kLast32BitLba) {
        lba = capacity.lastLba;
        blockLength = capacity.blockLength;
        return kCapacityOk;
    }
    // FFFFFFFFh: the last LBA does not fit; READ CAPACITY (16) tells it.
    uint8_t data16[kCapacity16Length] = {};
    request = ScsiRequest{};
    request.DataBuffer = data16;
    request.DataTransferLength = kCapacity16Length;
    if (ScsiReadCapacity16(static_cast<uint8_t>(pmi), lba, kCapacity16Length, request, context.Device(), report) != 1 ||
        DataTransferred(request) < kCapacity16Needed) {
        if (failed) *failed = request;
        return kCapacityFailed;
    }
    const Capacity16 capacity16 = DecodeReadCapacity16(data16, sizeof data16);
    lba = capacity16.lastLba;
    blockLength = capacity16.blockLength;
    return kCapacityOk;
}

int ReadCapacityForTest(OutputWindow* output, uint64_t& lastLba, uint32_t& blockLength, TestContext& context)
{
    lastLba = 0;
    uint64_t lba = 0;
    if (QueryCapacity(context, lba, blockLength, 0, 1) != kCapacityOk) {
        ReportBlock(output, "QueryCapacity Failure");
        return kCapacityContinue;
    }
    lastLba = lba;
    return context.EscapePressed() ? kCapacityEscape : kCapacityContinue;
}

int ReadCommand(ScsiRequest& request, DeviceHandle* device, uint64_t lba, uint16_t count, int report)
{
    if (!FitsTenByteCdb(lba, count)) return ScsiRead16(lba, count, request, device, report);
    const auto lba32 = static_cast<uint32_t>(lba);
    return ScsiRead10(&lba32, &count, request, device, report);
}

int WriteVerifyCommand(ScsiRequest& request, DeviceHandle* device, uint64_t lba, uint16_t count, int report)
{
    if (!FitsTenByteCdb(lba, count)) return ScsiWriteVerify16(1, lba, count, request, device, report);
    const auto lba32 = static_cast<uint32_t>(lba);
    return ScsiWriteVerify10(1, &lba32, &count, request, device, report);
}

int ReadBlocks(TestContext& context, uint64_t lba, uint16_t count)
{
    const size_t size = size_t{count} * context.BytesPerBlock();
    // Contents are discarded, so the buffer is not cleared first.
    const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!buffer) return kReadNoMemory;
    ScsiRequest request;
    request.DataBuffer = buffer.get();
    request.DataTransferLength = static_cast<uint32_t>(size);
    return ReadResult(context, ReadCommand(request, context.Device(), lba, count, 0), request, lba, count);
}

int ReadBlocksInto(TestContext& context, uint64_t lba, std::span<uint8_t> buffer, uint16_t count)
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
    if (ReadResult(context, ReadCommand(request, context.Device(), lba, count, 1), request, lba, count) == kReadOk)
        return kReadOk;
    std::clog << std::endl;
    return 0;
}

int VerifySequentialSlice(TestContext& context, uint64_t& cursor, uint64_t lastBlock, uint16_t count, int seconds,
                          const std::function<void(uint64_t blocks)>& transferred)
{
    const int64_t start = context.Now();
    while (cursor <= lastBlock) {
        // The last transfer takes only the blocks left.
        const auto blocks = static_cast<uint16_t>(std::min<uint64_t>(count, lastBlock - cursor + 1));
        const int result = ReadBlocks(context, cursor, blocks);
        if (result != kReadOk) return result;
        cursor += blocks;
        if (transferred) transferred(blocks);
        if (seconds > 0 && context.Now() - start > seconds) return cursor > lastBlock ? kSliceLimitReached : kSliceTimeUsedUp;
    }
    return kSliceLimitReached;
}

int VerifyRandomBlocks(TestContext& context, TestWorkspace& workspace, int n)
{
    // Below 100 blocks the tail cannot be left out; the range would wrap
    // round and the reads would go past the medium.
    const uint64_t range = workspace.lastLba >= kRandomTail ? workspace.lastLba - kRandomTail : workspace.lastLba;
    std::vector<uint8_t> buffer(context.BytesPerBlock());
    for (int i = 0; i < n; ++i) {
        const int r = context.random.Next();
        const auto lba = static_cast<uint64_t>(static_cast<double>(r) * static_cast<double>(range) * (1.0 / TestRandom::kMax));
        if (ReadBlocksInto(context, lba, buffer, 1) != kReadOk) return 0;
    }
    return 4;
}
