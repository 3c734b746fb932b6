#include "drives/log_pages.h"

#include <array>

#include "scsi/builders.h"
#include "scsi/sense.h"

namespace {

constexpr uint8_t kCumulativeValues = 1;  // page control 01b
constexpr uint8_t kThresholdValues = 0;   // page control 00b
constexpr int kNoFailureReport = 0;

}  // namespace

bool IsTolerableCheckCondition(const ScsiRequest& request)
{
    if (request.ScsiStatus != kStatusCheckCondition) return false;
    const uint8_t responseCode = request.SenseData[0] & 0x7F;
    if (responseCode != kSenseFixedCurrent && responseCode != kSenseFixedDeferred) return false;
    const uint8_t asc = request.SenseData[12];
    return asc == 0x00 || asc == 0x01;
}

int ReadLogPage(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, uint8_t pageCode, size_t* received)
{
    if (received) *received = 0;
    ScsiRequest request{};
    request.DataBuffer = buffer;
    request.DataTransferLength = allocationLength;
    // Byte 1 stays zero: no parameter pointer control, no saving.
    const bool answered =
        ScsiLogSense(kCumulativeValues, allocationLength, pageCode, request, handle, kNoFailureReport) == 1 ||
        IsTolerableCheckCondition(request);
    const size_t arrived = DataTransferred(request);
    if (!answered || arrived < kLogPageHeaderLength) return kLogPageFailed;
    if (received) *received = arrived;
    return kLogPageOk;
}

int ReadSupportedLogPages(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, size_t* received)
{
    return ReadLogPage(handle, buffer, allocationLength, kSupportedLogPagesPage, received);
}

int ReadSmartStatusLogPage(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, size_t* received)
{
    return ReadLogPage(handle, buffer, allocationLength, kSmartStatusLogPage, received);
}

int ReadAttributeLogPage(DeviceHandle* handle, uint8_t* buffer, uint16_t allocationLength, size_t* received)
{
    return ReadLogPage(handle, buffer, allocationLength, kAttributeLogPage, received);
}

int SmartLogSelectProbe(DeviceHandle* handle, ScsiRequest* answer)
{
    // The list lives on the stack: nothing to allocate, nothing to fail.
    std::array<uint8_t, sizeof kSmartProbeParameterList> list{};
    for (size_t i = 0; i < list.size(); ++i) list[i] = kSmartProbeParameterList[i];

    ScsiRequest request{};
    request.DataBuffer = list.data();
    request.DataTransferLength = static_cast<uint32_t>(list.size());
    const int sent = ScsiLogSelect(kThresholdValues, static_cast<uint16_t>(list.size()), request, handle, kNoFailureReport);
    if (answer != nullptr) *answer = request;
    if (sent == 1) return kLogPageOk;
    return IsTolerableCheckCondition(request) ? kLogPageOk : kLogPageFailed;
}
