#include "legacytest/error_counters.h"

#include <algorithm>

#include "drives/log_pages.h"
#include "legacytest/test_context.h"
#include "scsi/builders.h"
#include "scsi/byte_order.h"
#include "scsi/report.h"
#include "scsi/string_format.h"

namespace {

constexpr uint8_t kCumulativeValues = 1;
// Room for the standard counters and a drive's vendor ones.
constexpr uint16_t kCounterPageLength = 4096;
constexpr size_t kParameterHeaderLength = 4;

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

// LOG SENSE of the page's current cumulative values, without parameter
// pointer control: PPC is obsolete (SPC-4), and current drives refuse or
// ignore it. Only a command that completed counts.
bool ReadCounterPage(TestContext& context, uint8_t pageCode, std::vector<LogParameterBytes>& parameters)
{
    std::vector<uint8_t> page(kCounterPageLength);
    ScsiRequest request;
    request.DataBuffer = page.data();
    request.DataTransferLength = kCounterPageLength;
    if (ScsiLogSense(kCumulativeValues, kCounterPageLength, pageCode, request, context.Device(), 0) != 1) return false;
    const size_t received = DataTransferred(request);
    if (received < kLogPageHeaderLength || (page[0] & 0x3F) != pageCode) return false;
    parameters = DecodeLogParameters(page.data(), received);
    return true;
}

}  // namespace

std::vector<LogParameterBytes> DecodeLogParameters(const uint8_t* page, size_t size)
{
    std::vector<LogParameterBytes> parameters;
    if (page == nullptr || size < kLogPageHeaderLength) return parameters;
    const size_t end = std::min(size, kLogPageHeaderLength + size_t{LoadBe16(page + 2)});
    size_t at = kLogPageHeaderLength;
    while (at + kParameterHeaderLength <= end) {
        const size_t next = at + kParameterHeaderLength + page[at + 3];
        if (next > end) break;
        LogParameterBytes parameter;
        parameter.code = LoadBe16(page + at);
        parameter.bytes.assign(page + at + 2, page + next);
        parameters.push_back(std::move(parameter));
        at = next;
    }
    return parameters;
}

int ChangedParameterAmount(const std::vector<LogParameterBytes>& before, const std::vector<LogParameterBytes>& now)
{
    int amount = 0;
    for (const LogParameterBytes& parameter : now) {
        if (std::find(before.begin(), before.end(), parameter) != before.end()) continue;
        amount += static_cast<int>(parameter.bytes.size() + 2);
    }
    return amount;
}

int CheckErrorCounterPages(OutputWindow* output, TestContext& context)
{
    ErrorCounterReading reading;
    for (const CounterPage& page : kCounterPages) {
        std::vector<LogParameterBytes>& parameters = reading[page.code];
        if (!ReadCounterPage(context, page.code, parameters)) {
            if (page.failureIsBlock)
                ReportBlock(output, page.failure);
            else
                ReportLine(output, page.failure);
            return kErrorCountersFailed;
        }
        if (!context.errorCounters) continue;
        const int count = ChangedParameterAmount((*context.errorCounters)[page.code], parameters);
        if (count > kErrorCountLimit) {
            ReportBlock(output, StringPrintf(page.countFormat, count).c_str());
            ReportBlock(output, "Run Full Disk Scan");
            return kErrorCountersFailed;
        }
    }
    context.errorCounters = std::move(reading);
    return kErrorCountersPass;
}
