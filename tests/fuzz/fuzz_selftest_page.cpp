#include <cstddef>
#include <cstdint>
#include <memory>

#include "drives/device_entry.h"
#include "selftest/dst_log.h"
#include "selftest/self_test_commander.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

// The self-test results page as a drive returns it: the choice of the run's own entry,
// the recorded outcome and the log row made of it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const StreamCapture quiet;  // the report goes to cout and clog

    // LOG SENSE gets the input as the results page, REQUEST SENSE its first bytes.
    auto drive = std::make_shared<ScriptedDevice>();
    drive->next.data.assign(data, data + size);
    DeviceHandle handle = drive;
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
    return 0;
}
