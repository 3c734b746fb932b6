#include "legacytest/read_write_verify.h"

#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "legacytest/media_verify.h"
#include "legacytest/no_abort_step.h"
#include "legacytest/test_context.h"
#include "scsi/report.h"
#include "scsi/scsi_request.h"
#include "scsi/sense.h"
#include "scsi/string_format.h"

namespace {

constexpr uint8_t kMediumError = 3;
constexpr uint8_t kHardwareError = 4;
constexpr uint8_t kRecoveredError = 1;
constexpr size_t kDumpBytesPerLine = 16;

unsigned long long Long(uint64_t value) { return value; }

// The sense key of a command that ended in CHECK CONDITION; none otherwise
// (a failed call, or a status such as BUSY that carries no sense).
int SenseKeyOf(const ScsiRequest& request)
{
    if (request.ScsiStatus != kStatusCheckCondition) return -1;
    return ReadSenseCodes(request.SenseData, sizeof request.SenseData).senseKey;
}

// The old data are in the buffer: the drive moved every byte, and ended
// GOOD or told of an error it recovered from.
bool OldDataRead(int executed, const ScsiRequest& request)
{
    if (DataTransferred(request) != request.DataTransferLength) return false;
    return executed == 1 || SenseKeyOf(request) == kRecoveredError;
}

void ShowFailure(TestWorkspace& workspace, const ScsiRequest& request, const char* format, uint64_t lba)
{
    ReportBlock(workspace.output, StringPrintf(format, Long(lba)).c_str());
    if (request.ScsiStatus != kStatusCheckCondition)
        ReportBlock(workspace.output,
                    StringPrintf("Ioctl FAILED. Target Status = %.2x", static_cast<unsigned>(request.ScsiStatus)).c_str());
}

const char* ReadFailureText(const ScsiRequest& request)
{
    if (SenseKeyOf(request) == kMediumError) return "READ ERROR at LBA=%08llx";
    if (SenseKeyOf(request) == kHardwareError) return "HARD READ ERROR at LBA=%08llx";
    return "error during read at LBA=%08llx";
}

const char* WriteFailureText(const ScsiRequest& request, bool newData)
{
    if (SenseKeyOf(request) == kMediumError)
        return newData ? "WRITE VERIFY DATA ERROR of new data at LBA=%08llx"
                       : "WRITE VERIFY DATA ERROR of old data at LBA=%08llx";
    if (SenseKeyOf(request) == kHardwareError)
        return newData ? "HARD WRITE VERIFY ERROR of new data at LBA=%08llx"
                       : "HARD WRITE VERIFY ERROR of old data at LBA=%08llx";
    return newData ? "error during write verify of new data at LBA=%08llx"
                   : "error during write verify of old data at LBA=%08llx";
}

// One WRITE AND VERIFY with byte check of the buffer; true only when it
// ended GOOD.
bool WriteVerify(TestContext& context, uint64_t lba, uint16_t count, uint8_t* data, size_t size, ScsiRequest& request)
{
    request = ScsiRequest{};
    request.DataBuffer = data;
    request.DataTransferLength = static_cast<uint32_t>(size);
    return WriteVerifyCommand(request, context.Device(), lba, count, 0) == 1;
}

// The user's data could not be put back: the report keeps them, so that
// they can still be restored by hand.
void ShowDataNotRestored(TestWorkspace& workspace, uint64_t lba, const uint8_t* data, size_t size)
{
    ReportBlock(workspace.output,
                StringPrintf("USER DATA NOT RESTORED at LBA=%08llx: the block holds test data. Its old data:", Long(lba))
                    .c_str());
    std::string dump;
    for (size_t offset = 0; offset < size; offset += kDumpBytesPerLine) {
        dump += StringPrintf("%04zx:", offset);
        for (size_t i = offset; i < offset + kDumpBytesPerLine && i < size; ++i)
            dump += StringPrintf(" %02x", static_cast<unsigned>(data[i]));
        dump += "\r\n";
    }
    AppendOutputText(workspace.output, dump.c_str());
    std::clog << "user data not restored at LBA=" << lba << std::endl;
}

}  // namespace

int ReadWriteVerifyBlocks(TestContext& context, TestWorkspace& workspace, uint64_t lba, uint16_t count,
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
    if (!OldDataRead(ReadCommand(read, context.Device(), lba, count, 0), read)) {
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
    // that write was taken: the old data go back in every case, and a
    // transient failure (a busy drive, a reset) is waited out.
    for (int attempt = 0; attempt < kRestoreAttempts; ++attempt) {
        if (attempt > 0) context.clock.Sleep(kRestorePauseMilliseconds);
        ScsiRequest restore;
        if (WriteVerify(context, lba, count, oldData.get(), size, restore)) return newWritten ? kRwvOk : kRwvFailed;
        if (restore.ScsiStatus == 0) std::clog << "error during write verify of old data at LBA=" << lba << std::endl;
        if (attempt == 0) ShowFailure(workspace, restore, WriteFailureText(restore, false), lba);
    }
    ShowDataNotRestored(workspace, lba, oldData.get(), size);
    return kRwvFailed;
}
