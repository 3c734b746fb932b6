#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <streambuf>
#include <vector>

#include "drives/device_entry.h"
#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"
#include "selftest/dst_log.h"
#include "selftest/self_test_commander.h"

namespace {

// Answers LOG SENSE with the fuzz input as the results page and REQUEST
// SENSE with its first bytes, whatever their length.
class PageDevice final : public ScsiDevice {
public:
    PageDevice(const uint8_t* data, size_t size) : data_(data, data + size) {}

    bool Execute(ScsiRequest& request) override
    {
        request.ScsiStatus = 0;
        if (request.DataIn == kScsiDataIn && request.DataBuffer != nullptr && !data_.empty())
            std::memcpy(request.DataBuffer, data_.data(), std::min<size_t>(data_.size(), request.DataTransferLength));
        return true;
    }
    bool QueryAdapterInquiryData(std::vector<uint8_t>&, int& errorCode) override
    {
        errorCode = 1;
        return false;
    }
    bool QueryAddress(ScsiAddress&) override { return false; }
    bool QueryCapabilities(AdapterCapabilities&, int& errorCode) override
    {
        errorCode = 1;
        return false;
    }

private:
    std::vector<uint8_t> data_;
};

class NullBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

// The self-test results page as a drive returns it: the choice of the run's own entry,
// the recorded outcome and the log row made of it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The report goes to cout and clog; silenced here, given back at the end.
    NullBuffer null;
    std::streambuf* const out = std::cout.rdbuf(&null);
    std::streambuf* const log = std::clog.rdbuf(&null);

    DeviceHandle handle = std::make_shared<PageDevice>(data, size);
    DeviceEntry entry;
    entry.dstType = size > 0 ? data[0] % 3 : 1;
    DstDriveContext context;
    context.entry = &entry;
    SelfTestCommander commander;
    // Once against an empty log at the start, once against the page itself.
    const uint8_t code = entry.dstType == 2 ? kDstCodeAdvanced : kDstCodeQuick;
    commander.ReadLatestResult(context, &handle, MarkDstRun({}, code));
    DstRunMark mark = commander.MarkRun(code);
    mark.seenRunning = size > 2 && (data[2] & 1) != 0;
    commander.ReadLatestResult(context, &handle, mark);
    int progress = size > 1 ? data[1] % 101 : 0;  // a percentage the run could hold
    commander.PollProgress(&handle, progress);
    if (progress < 0 || progress > 100) __builtin_trap();
    const std::string quick = ComposeDstLogRow(entry, DstKind::Quick);
    const std::string advanced = ComposeDstLogRow(entry, DstKind::Advanced);
    if (quick.size() > 1000 || advanced.size() > 1000) __builtin_trap();  // a row stays short whatever the drive says
    std::cout.rdbuf(out);
    std::clog.rdbuf(log);
    return 0;
}
