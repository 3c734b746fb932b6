#include "scsi/execute.h"

#include <iomanip>
#include <iostream>

#include "scsi/stop.h"

namespace {

void TakePendingStop()
{
    // Only the test worker acts on a stop: a command of the user-interface
    // thread neither ends that thread nor consumes the stop meant for the
    // worker.
    if (g_bStopRequested.load(std::memory_order_relaxed) == 0) return;
    if (!IsTestWorkerThread()) return;
    if (g_bNoAbort.load() != 0) return;
    uint8_t expected = g_bStopRequested.load();
    if (expected == 0) return;
    if (g_bStopRequested.compare_exchange_strong(expected, 0)) throw WorkerStopped{};
}

void WriteFailureReport(int callResult, const ScsiRequest& request)
{
    std::ostream& log = std::clog;
    const auto flags = log.flags();
    const char fill = log.fill();
    log << "Ioctl status = " << std::hex << std::nouppercase << std::setfill('0') << std::setw(2) << callResult
        << "    Target Status = " << std::setw(2) << static_cast<int>(request.ScsiStatus) << std::endl;
    log.flags(flags);
    log.fill(fill);
    log << "Sense Data: " << std::endl;
    DumpSenseData(19, request.SenseData);
}

}  // namespace

int ExecuteScsiRequest(ScsiRequest& request, DeviceHandle* handle, uint8_t direction, int report)
{
    TakePendingStop();

    request.Length = kScsiPassThroughLength;
    request.PathId = 0;
    request.TargetId = 1;
    request.Lun = 0;
    request.SenseInfoLength = kSenseInfoLength;
    request.SenseInfoOffset = kSenseInfoOffset;
    request.DataIn = direction;

    bool delivered = false;
    if (handle != nullptr && *handle) {
        delivered = (*handle)->Execute(request);
    }
    if (!delivered) request.ScsiStatus = 0;
    if (delivered && request.ScsiStatus == kStatusGood) return 1;

    if (report == 1) WriteFailureReport(delivered ? 1 : 0, request);
    return 0;
}

void DumpSenseData(int count, const uint8_t* bytes)
{
    std::ostream& log = std::clog;
    log << std::hex << std::uppercase << std::setfill('0');
    int column = 0;
    for (int i = 0; i < count; ++i) {
        if (column == 16) {
            log << std::endl;
            column = 0;
        }
        if (count > 16 && i % 16 == 0) log << std::setw(3) << i << ": ";
        log << std::setw(2) << static_cast<int>(bytes[i]) << ' ';
        ++column;
    }
    if (column != 0) log << std::endl;
    log << std::nouppercase << std::dec << std::setfill(' ');
}
