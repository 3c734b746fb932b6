#include "scsi/execute.h"

#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

#include "scsi/stop.h"

namespace {

void TakePendingStop()
{
    // Only the test worker acts on a stop: a command of the user-interface
    // thread neither ends that thread nor consumes the stop meant for the
    // worker.
    if (StopToken* token = CurrentStopToken()) {
        // One worker of several: its own stop is its alone; a stop of all
        // stays for the other workers to take.
        if (token->noAbort.load() != 0) return;
        if (token->stopRequested.exchange(0) != 0 || g_bStopRequested.load() != 0) throw WorkerStopped{};
        return;
    }
    if (g_bStopRequested.load(std::memory_order_relaxed) == 0) return;
    if (!IsTestWorkerThread()) return;
    if (g_bNoAbort.load() != 0) return;
    uint8_t expected = g_bStopRequested.load();
    if (expected == 0) return;
    if (g_bStopRequested.compare_exchange_strong(expected, 0)) throw WorkerStopped{};
}

// A report is formatted apart and written whole: workers of several drives
// write to clog at once, and neither their lines nor the stream's number
// format may mix.
std::string SenseDumpText(int count, const uint8_t* bytes)
{
    std::ostringstream text;
    text << std::hex << std::uppercase << std::setfill('0');
    int column = 0;
    for (int i = 0; i < count; ++i) {
        if (column == 16) {
            text << '\n';
            column = 0;
        }
        if (count > 16 && i % 16 == 0) text << std::setw(3) << i << ": ";
        text << std::setw(2) << static_cast<int>(bytes[i]) << ' ';
        ++column;
    }
    if (column != 0) text << '\n';
    return text.str();
}

void WriteFailureReport(int callResult, const ScsiRequest& request)
{
    std::ostringstream text;
    text << "Ioctl status = " << std::hex << std::setfill('0') << std::setw(2) << callResult
         << "    Target Status = " << std::setw(2) << static_cast<int>(request.ScsiStatus) << '\n'
         << "Sense Data: \n"
         << SenseDumpText(19, request.SenseData);
    std::clog << text.str() << std::flush;
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

void DumpSenseData(int count, const uint8_t* bytes) { std::clog << SenseDumpText(count, bytes) << std::flush; }
