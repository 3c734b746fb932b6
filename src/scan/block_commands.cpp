#include "scan/block_commands.h"

#include <limits>

#include "scsi/builders.h"
#include "scsi/sense.h"

namespace {

constexpr uint8_t kSenseKeyRecoveredError = 0x01;

bool FitsTenByteCdb(uint64_t lba, uint32_t count)
{
    return count <= std::numeric_limits<uint16_t>::max() && lba + count - 1 <= std::numeric_limits<uint32_t>::max();
}

int Send(ScanMethod method, uint64_t lba, uint32_t count, ScsiRequest& request, DeviceHandle* handle)
{
    if (FitsTenByteCdb(lba, count)) {
        const auto lba32 = static_cast<uint32_t>(lba);
        const auto count16 = static_cast<uint16_t>(count);
        return method == ScanMethod::Read ? ScsiRead10(&lba32, &count16, request, handle, 0, kScanTimeOutSeconds)
                                          : ScsiVerify10(lba32, count16, request, handle, 0, kScanTimeOutSeconds);
    }
    return method == ScanMethod::Read ? ScsiRead16(lba, count, request, handle, 0, kScanTimeOutSeconds)
                                      : ScsiVerify16(lba, count, request, handle, 0, kScanTimeOutSeconds);
}

}  // namespace

BlockCommands::BlockCommands(DeviceHandle handle, uint32_t blockLength, uint32_t maxBlocks)
    : handle(std::move(handle)), blockLength(blockLength), maxBlocks(maxBlocks)
{
}

BlockResult BlockCommands::Issue(ScanMethod method, uint64_t lba, uint32_t count)
{
    ScsiRequest request{};
    if (method == ScanMethod::Read) {
        // Only a scan that reads needs room for the data; a VERIFY scan holds none.
        if (buffer.empty()) buffer.resize(static_cast<size_t>(maxBlocks) * blockLength);
        request.DataBuffer = buffer.data();
        request.DataTransferLength = count * blockLength;
    }
    const int executed = Send(method, lba, count, request, &handle);

    BlockResult result;
    result.status = request.ScsiStatus;
    result.reachedDrive = executed == 1 || request.ScsiStatus != 0;
    callFailuresInARow = result.reachedDrive ? 0 : callFailuresInARow + 1;
    if (executed == 1) {
        // A reply short of its data has not shown that every block reads.
        result.read = DataTransferred(request) == request.DataTransferLength;
        return result;
    }
    if (request.ScsiStatus != kStatusCheckCondition) return result;
    result.sense = ReadSenseCodes(request.SenseData, sizeof request.SenseData);
    // The drive got the blocks back, retrying or correcting on its own.
    result.read = result.sense.senseKey == kSenseKeyRecoveredError;
    result.information = ReadSenseInformation(request.SenseData, sizeof request.SenseData);
    return result;
}
