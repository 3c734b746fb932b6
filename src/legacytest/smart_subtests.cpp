// The SMART check (subtest 4) and the SMART recheck (subtest 13).
#include <memory>

#include "drives/log_pages.h"
#include "legacytest/attribute_warnings.h"
#include "legacytest/sequence_run.h"
#include "scsi/builders.h"
#include "scsi/byte_order.h"
#include "scsi/report.h"

namespace {

constexpr uint16_t kSmartDataLength = 1024;
constexpr uint8_t kFailurePredictionAsc = 0x5D;
constexpr uint32_t kSenseThroughCodes = 14;  // fixed format up to ASC and ASCQ
constexpr uint16_t kReallocationParameter = 0x0004;
constexpr uint16_t kBitErrorRateParameter = 0x0032;

}  // namespace

std::vector<AttributeWarning> ScanAttributeWarnings(std::span<const uint8_t> page)
{
    std::vector<AttributeWarning> warnings;
    if (page.size() < kLogPageHeaderLength) return warnings;
    const size_t total = std::min<size_t>(LoadBe16(page.data() + 2) + kLogPageHeaderLength, page.size());
    size_t header = kLogPageHeaderLength;
    while (header + 3 < total) {
        const uint16_t code = LoadBe16(page.data() + header);
        const size_t length = page[header + 3];
        const auto valueByte = [&](size_t index) -> int {
            if (index >= length || header + 4 + index >= total) return -1;
            return page[header + 4 + index];
        };
        if (code == kReallocationParameter && valueByte(0) == 2) warnings.push_back(AttributeWarning::ReallocationTrip);
        if (code == kBitErrorRateParameter) {
            if (valueByte(11) > 0) warnings.push_back(AttributeWarning::BitErrorRateTrip);
            break;
        }
        header += 4 + length;
    }
    return warnings;
}

// REQUEST SENSE without a failed command before it: with MRIE 6 this is how
// a drive tells of a predicted failure.
SequenceRun::Step SequenceRun::UnsolicitedSense(int endResult)
{
    uint8_t sense[kTestSenseLength] = {};
    ScsiRequest request;
    request.DataBuffer = sense;
    request.DataTransferLength = kTestSenseLength;
    const char* failure = nullptr;
    // Sense that stops before its codes is no answer, not "no sense".
    if (ScsiRequestSense(request, context.Device(), kTestSenseLength, 1) != 1 ||
        DataTransferred(request) < kSenseThroughCodes)
        failure = "Unsolicited Request Sense failed";
    else if (sense[2] != 0)
        failure = "Unsolicited Request Sense Error";
    else if (sense[12] == kFailurePredictionAsc)
        failure = "SMART TRIP";
    if (failure == nullptr) return std::nullopt;
    ReportBlock(output, failure);
    RestorePage();
    return endResult;
}

bool SequenceRun::RestorePage()
{
    if (RestoreExceptionsPage(context, *holder) == kPageOk) return true;
    outcome.settingsLeftChanged = true;
    return false;
}

SequenceRun::~SequenceRun()
{
    if (holder && holder->Changed() && !holder->RestoreFailed()) RestorePage();
}

SequenceRun::Step SequenceRun::SmartCheck()
{
    ReportLine(output, "Begin SMART check");
    if (SaveExceptionsPage(context, *holder) == kPageFailed) {
        ReportBlock(output, "SMART probably not supported");
        context.smartUsable = 0;
    } else if (EnableSmartReporting(context, *holder, kSmartMrieOnRequest, kSmartFlagsLogErr) == kPageFailed) {
        ReportBlock(output, "Turning on SMART and setting MRIE FAILED");
        return kSubtestSmartCheck;
    } else {
        if (const Step step = UnsolicitedSense(kSubtestSmartCheck)) return step;
        const auto data = std::make_unique<uint8_t[]>(kSmartDataLength);
        if (SmartLogSelectProbe(context.Device()) != kLogPageOk) {
            ReportBlock(output, "SMART not supported");
            context.smartUsable = 0;
        } else {
            size_t received = 0;
            if (ReadLogPage(context.Device(), data.get(), kSmartDataLength, kAttributeLogPage, &received) != kLogPageOk)
                return kSubtestSmartCheck;
            if (data[0] != kAttributeLogPage) {
                ReportBlock(output, "Log Data Read error");
                return kSubtestSmartCheck;
            }
            for (const AttributeWarning warning : ScanAttributeWarnings({data.get(), received})) {
                ReportBlock(output, warning == AttributeWarning::ReallocationTrip
                                        ? "WARNING - SMART TRIP immanent for reallocation attribute"
                                        : "WARNING - SMART TRIP immanent for bit error rate attribute");
            }
        }
    }
    ReportLine(output, "Finished SMART check");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::SmartRecheck()
{
    ReportLine(output, "Begin SMART recheck");
    if (context.smartUsable == 1) {
        if (const Step step = UnsolicitedSense(kSubtestSmartRecheck)) return step;
    }
    // A page that cannot go back fails the run: the drive keeps the test's
    // settings.
    if (!RestorePage()) return kSubtestSmartRecheck;
    ReportLine(output, "Finished SMART recheck");
    return std::nullopt;
}
