#include "smart/normalized_smart.h"

#include <cstring>
#include <new>
#include <span>

#include "drives/device_entry.h"
#include "drives/log_pages.h"
#include "drives/sheet_device.h"
#include "platform/user_prompts.h"
#include "scsi/builders.h"
#include "scsi/sense.h"
#include "scsi/string_format.h"

namespace {

constexpr int kNoFailureReport = 0;

// Only the bytes a read brought are decoded; the buffer is zeroed first
// besides, so nothing of the previous page can ever show.
using LogPageReader = int (*)(DeviceHandle*, uint8_t*, uint16_t, size_t*);
int ReadInto(LogPageReader reader, DeviceHandle* handle, uint8_t* buffer, std::span<const uint8_t>& page)
{
    std::memset(buffer, 0, kSmartLogBufferSize);
    size_t received = 0;
    const int result = reader(handle, buffer, static_cast<uint16_t>(kSmartLogBufferSize), &received);
    page = std::span<const uint8_t>(buffer, received);
    return result;
}

// The program's text, then, when the drive refused with sense, its own words.
std::string WithDriveAnswer(const char* text, const ScsiRequest& answer)
{
    if (answer.ScsiStatus != kStatusCheckCondition) return text;
    const SenseCodes codes = ReadSenseCodes(answer.SenseData, kSenseInfoLength);
    return StringPrintf("%s\n\nThe drive answered with sense key %Xh, additional sense code %02Xh, qualifier %02Xh.",
                        text, codes.senseKey, codes.asc, codes.ascq);
}

}  // namespace

int SmartVendorCommand(DeviceHandle* handle, ScsiRequest* answer)
{
    ScsiRequest request{};
    request.DataBuffer = nullptr;
    request.DataTransferLength = 0;
    const int sent = ScsiVendorDF(request, handle, kNoFailureReport);
    if (answer != nullptr) *answer = request;
    if (sent == 1) return kSmartOk;
    return IsTolerableCheckCondition(request) ? kSmartOk : kSmartFailed;
}

void ShowSmartError(UserPrompts& prompts, const std::string& text)
{
    prompts.Message(text, kSmartErrorTitle, UserPrompts::Icon::Information);
}

std::unique_ptr<uint8_t[]> AllocateSmartBuffer(size_t size)
{
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

std::optional<SmartSheet> OnNormalizedSmart(DeviceEntry* device, UserPrompts& prompts, SmartBufferAllocator allocate)
{
    // The mode page sheet and this one work on the same drive record.
    g_pSheetDevice = device;
    if (!device || !device->handle) return std::nullopt;
    DeviceHandle* handle = &device->handle;

    SmartSheet sheet;
    ScsiRequest answer{};
    if (SmartLogSelectProbe(handle, &answer) != kLogPageOk || SmartVendorCommand(handle, &answer) != kSmartOk) {
        ShowSmartError(prompts, WithDriveAnswer(kSmartNotSupported, answer));
        return std::nullopt;
    }

    const std::unique_ptr<uint8_t[]> buffer = allocate(kSmartLogBufferSize);
    if (!buffer) {
        ShowSmartError(prompts, kSmartBufferFailed);
        return std::nullopt;
    }
    std::span<const uint8_t> page;

    if (ReadInto(ReadSupportedLogPages, handle, buffer.get(), page) != kLogPageOk) {
        ShowSmartError(prompts, kSmartSupportedPagesFailed);
        return std::nullopt;
    }
    const SmartPagesListed listed = ScanSupportedLogPages(page);

    // The status tab does not count as a relevant parameter; a failed read
    // of its page only leaves the tab out.
    if (listed.statusPage && ReadInto(ReadSmartStatusLogPage, handle, buffer.get(), page) == kLogPageOk)
        sheet.tabs.push_back(StatusTabFromPage(page));

    if (!listed.attributePage) {
        ShowSmartError(prompts, listed.statusPage ? kSmartNoRelevantCodes : kSmartNotSupported);
        return std::nullopt;
    }
    if (ReadInto(ReadAttributeLogPage, handle, buffer.get(), page) != kLogPageOk) {
        ShowSmartError(prompts, kSmartAttributeReadFailed);
        ShowSmartError(prompts, kSmartNoRelevantCodes);
        return std::nullopt;
    }
    if (WalkAttributeParameters(page, sheet.tabs) == 0) {
        ShowSmartError(prompts, kSmartNoRelevantCodes);
        return std::nullopt;
    }
    return sheet;
}
