#include "legacytest/error_counters.h"

#include <cstdint>

#include "legacytest/log_pages.h"
#include "legacytest/test_context.h"
#include "scsi/builders.h"
#include "scsi/report.h"
#include "scsi/string_format.h"

std::atomic<int> g_bLogCountersReset{0};

namespace {

constexpr uint8_t kPcr = 0x02;  // LOG SELECT: reset the log parameters
constexpr uint8_t kPpc = 0x02;  // LOG SENSE: only parameters changed since last read
constexpr uint8_t kCumulativeValues = 1;
constexpr uint16_t kCounterBufferLength = 10;

struct CounterPage {
    uint8_t code;
    const char* failure;
    bool failureIsBlock;
    const char* countFormat;
};

constexpr CounterPage kCounterPages[] = {
    {kWriteErrorCountersPage, "Log Page 02 failed", true, "Write Errors=%d"},
    {kReadErrorCountersPage, "Log Page 03 failed", false, "Read Errors=%d"},
    {kVerifyErrorCountersPage, "Log Page 05 failed", true, "Verify Errors=%d"},
};

int ResetCounters(TestContext& context)
{
    ScsiRequest request;
    request.Cdb[1] = kPcr;
    if (ScsiLogSelect(kCumulativeValues, 0, request, context.Device(), 0) == 1 || IsTolerableCheckCondition(request)) {
        g_bLogCountersReset = 1;
        return kErrorCountersPass;
    }
    return kErrorCountersResetFailed;
}

}  // namespace

int CheckErrorCounterPages(OutputWindow* output, TestContext& context)
{
    if (g_bLogCountersReset.load() == 0) return ResetCounters(context);

    uint8_t buffer[kCounterBufferLength] = {};
    for (const CounterPage& page : kCounterPages) {
        ScsiRequest request;
        request.DataBuffer = buffer;
        request.DataTransferLength = kCounterBufferLength;
        request.Cdb[1] = kPpc;
        if (ScsiLogSense(kCumulativeValues, kCounterBufferLength, page.code, request, context.Device(), 0) != 1) {
            if (page.failureIsBlock)
                ReportBlock(output, page.failure);
            else
                ReportLine(output, page.failure);
            return kErrorCountersFailed;
        }
        const int count = (buffer[2] << 8) | buffer[3];
        if (count > kErrorCountLimit) {
            ReportBlock(output, StringPrintf(page.countFormat, count).c_str());
            ReportBlock(output, "Run Full Disk Scan");
            return kErrorCountersFailed;
        }
    }
    return kErrorCountersPass;
}
