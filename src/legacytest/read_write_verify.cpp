#include "legacytest/read_write_verify.h"

#include <iostream>
#include <new>
#include <string>
#include <memory>

#include "legacytest/no_abort_step.h"
#include "legacytest/test_context.h"
#include "scsi/builders.h"
#include "scsi/report.h"
#include "scsi/string_format.h"

namespace {

constexpr uint8_t kMediumError = 3;
constexpr uint8_t kHardwareError = 4;

// The sense byte the pass judges by: byte 2 whole, as the drive sent it.
uint8_t SenseByte2(const ScsiRequest& request) { return request.SenseData[2]; }

bool Accepted(const ScsiRequest& request, bool recoveredToo)
{
    if (request.ScsiStatus == 0) return false;
    const uint8_t value = SenseByte2(request);
    return value == 0 || (recoveredToo && value == 1);
}

void ShowFailure(TestWorkspace& workspace, const ScsiRequest& request, const char* format, uint32_t lba)
{
    ReportBlock(workspace.output, StringPrintf(format, lba).c_str());
    if (request.ScsiStatus == 0)
        ReportBlock(workspace.output,
                    StringPrintf("Ioctl FAILED. Target Status = %.2x", static_cast<unsigned>(request.ScsiStatus)).c_str());
}

const char* ReadFailureText(const ScsiRequest& request)
{
    if (request.ScsiStatus != 0 && SenseByte2(request) == kMediumError) return "READ ERROR at LBA=%08x";
    if (request.ScsiStatus != 0 && SenseByte2(request) == kHardwareError) return "HARD READ ERROR at LBA=%08x";
    return "error during read at LBA=%08x";
}

const char* WriteFailureText(const ScsiRequest& request, bool newData)
{
    if (request.ScsiStatus != 0 && SenseByte2(request) == kMediumError)
        return newData ? "WRITE VERIFY DATA ERROR of new data at LBA=%08x" : "WRITE VERIFY DATA ERROR of old data at LBA=%08x";
    if (request.ScsiStatus != 0 && SenseByte2(request) == kHardwareError)
        return newData ? "HARD WRITE VERIFY ERROR of new data at LBA=%08x" : "HARD WRITE VERIFY ERROR of old data at LBA=%08x";
    return newData ? "error during write verify of new data at LBA=%08x"
                   : "error during write verify of old data at LBA=%08x";
}

// One WRITE AND VERIFY (10) with byte check of the buffer; true when the
// drive took it (GOOD, or CHECK CONDITION with sense byte 2 zero).
bool WriteVerify(TestContext& context, uint32_t lba, uint16_t count, uint8_t* data, size_t size, ScsiRequest& request)
{
    request = ScsiRequest{};
    request.DataBuffer = data;
    request.DataTransferLength = static_cast<uint32_t>(size);
    if (ScsiWriteVerify10(1, &lba, &count, request, context.Device(), 0) == 1) return true;
    return Accepted(request, false);
}

}  // namespace

int ReadWriteVerifyBlocks(TestContext& context, TestWorkspace& workspace, uint32_t lba, uint16_t count,
                          uint32_t bytesPerBlock)
{
    const size_t size = size_t{count} * bytesPerBlock;
    const std::unique_ptr<uint8_t[]> oldData(new (std::nothrow) uint8_t[size + 1]());
    const std::unique_ptr<uint8_t[]> newData(new (std::nothrow) uint8_t[size + 1]());
    if (!oldData || !newData) {
        ReportBlock(workspace.output, "Couldn't create buffers for RWRW test");
        return kRwvFailed;
    }

    ScsiRequest read;
    read.DataBuffer = oldData.get();
    read.DataTransferLength = static_cast<uint32_t>(size);
    if (ScsiRead10(&lba, &count, read, context.Device(), 0) != 1 && !Accepted(read, true)) {
        if (read.ScsiStatus == 0) std::clog << "error during read at LBA=" << lba << std::endl;
        ShowFailure(workspace, read, ReadFailureText(read), lba);
        return kRwvFailed;
    }

    for (size_t i = 0; i < size; ++i) newData[i] = static_cast<uint8_t>(oldData[i] + 1);

    // From here the block may hold changed data until the old data are back:
    // a stop waits for the command after the restore.
    NoAbortStep step;
    ScsiRequest write;
    const bool newWritten = WriteVerify(context, lba, count, newData.get(), size, write);
    if (!newWritten) {
        if (write.ScsiStatus == 0) std::clog << "error during write verify of new data at LBA=" << lba << std::endl;
        ShowFailure(workspace, write, WriteFailureText(write, true), lba);
    }

    // The block may hold the changed data, or part of it, whether or not
    // that write was taken: the old data go back in every case.
    ScsiRequest restore;
    if (!WriteVerify(context, lba, count, oldData.get(), size, restore)) {
        if (restore.ScsiStatus == 0) std::clog << "error during write verify of old data at LBA=" << lba << std::endl;
        ShowFailure(workspace, restore, WriteFailureText(restore, false), lba);
        return kRwvFailed;
    }
    return newWritten ? kRwvOk : kRwvFailed;
}
