#include "legacytest/exceptions_page.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <string>

#include "legacytest/no_abort_step.h"
#include "legacytest/test_context.h"
#include "platform/clock.h"
#include "scsi/builders.h"
#include "scsi/byte_order.h"
#include "scsi/mode_select_list.h"
#include "scsi/report.h"
#include "scsi/sense.h"
#include "scsi/string_format.h"

namespace {

constexpr uint8_t kPageCode = 0x1C;
constexpr uint8_t kPageLength = 0x0A;
constexpr size_t kHeaderLength = 4;
constexpr size_t kPageBytes = 12;
constexpr uint8_t kParameterListLength = kHeaderLength + kPageBytes;  // 16
constexpr uint8_t kFlagsByte = 6;
constexpr uint8_t kMrieByte = 7;
constexpr uint8_t kRecoveredErrorKey = 0x1;

constexpr const char* kMrieTexts[] = {
    "No reporting of information exception condition",
    "Asynchronous event reporting",
    "Generate Unit Attention",
    "Conditionally generate recovered error",
    "Unconditionally generate recovered error",
    "Generate no sense",
    "Only report information exception condition on request",
};

// Where the page starts, when the data hold a whole page 1Ch of length 0Ah
// inside the mode data the drive said it returned; 0 otherwise.
size_t PageStart(const std::array<uint8_t, 255>& data)
{
    const size_t start = static_cast<uint8_t>(data[3] + kHeaderLength);
    const size_t available = std::min<size_t>(data.size(), size_t{data[0]} + 1);
    if (start + kPageBytes > available) return 0;
    if ((data[start] & 0x3F) != kPageCode || data[start + 1] != kPageLength) return 0;
    return start;
}

// MODE SENSE(6) of the page, current values, no block descriptors. The
// reply replaces the holder's buffer only when it holds the whole page
// (`taken`): a short one never mixes with the page read before, which a
// restore may still need. Returns the command's result.
int ModeSensePage(ExceptionsPageSave& holder, DeviceHandle* device, ScsiRequest& request, bool& taken)
{
    std::array<uint8_t, 255> reply{};
    request = ScsiRequest{};
    request.DataBuffer = reply.data();
    request.DataTransferLength = static_cast<uint32_t>(reply.size());
    const uint8_t dbd = 1;
    const uint8_t current = 0;
    const uint8_t pageCode = kPageCode;
    const int result = ScsiModeSense6(&dbd, &current, &pageCode, request, device, 0);
    // The mode data are what arrived, whatever their length byte says.
    const size_t received = DataTransferred(request);
    if (received > 0 && size_t{reply[0]} + 1 > received) reply[0] = static_cast<uint8_t>(received - 1);
    taken = received >= kHeaderLength && PageStart(reply) != 0;
    if (taken) holder.buffer = reply;
    return result;
}

int ModeSelectPage(ExceptionsPageSave& holder, DeviceHandle* device, int report)
{
    PrepareModeSelectList(holder.buffer.data(), kParameterListLength);
    ScsiRequest request;
    request.DataBuffer = holder.buffer.data();
    request.DataTransferLength = static_cast<uint32_t>(holder.buffer.size());
    const uint8_t byte1 = kModeSelectPageFormat;  // SP 0: current values only
    const uint8_t length = kParameterListLength;
    if (ScsiModeSelect6(&byte1, &length, request, device, report) == 1) return 1;
    // RECOVERED ERROR (a rounded parameter, SPC-4): the drive took the page.
    return request.ScsiStatus == kStatusCheckCondition &&
                   ReadSenseCodes(request.SenseData, sizeof request.SenseData).senseKey == kRecoveredErrorKey
               ? 1
               : 0;
}

}  // namespace

ExceptionsPageSave::~ExceptionsPageSave()
{
    if (!changed || restoreFailed) return;
    Restore(&changedOn, clock, 1);
}

int ExceptionsPageSave::Restore(DeviceHandle* device, Clock* pacer, int report)
{
    // A drive setting left changed outlives the run: no stop cuts this off,
    // and a transient failure (a busy drive, a reset) is waited out.
    NoAbortStep step;
    page = buffer.data();
    buffer[kFlagsByte] = savedFlags;
    buffer[kMrieByte] = savedMrie;
    buffer[1] = 0;
    for (int attempt = 0; attempt < kPageRestoreAttempts; ++attempt) {
        if (attempt > 0 && pacer != nullptr) pacer->Sleep(kPageRestorePauseMilliseconds);
        if (ModeSelectPage(*this, device, report) == 1) {
            changed = false;
            restoreFailed = false;
            return kPageOk;
        }
    }
    restoreFailed = true;
    std::string bytes;
    for (size_t i = kHeaderLength; i < kHeaderLength + kPageBytes; ++i)
        bytes += StringPrintf(" %02x", static_cast<unsigned>(buffer[i]));
    ReportBlock(output, ("INFORMATIONAL EXCEPTIONS PAGE NOT RESTORED: the drive keeps the test's settings. The page "
                         "as it was:" + bytes)
                            .c_str());
    return kPageFailed;
}

int SaveExceptionsPage(TestContext& context, ExceptionsPageSave& holder)
{
    holder.page = nullptr;
    ScsiRequest request;
    bool taken = false;
    if (ModeSensePage(holder, context.Device(), request, taken) != 1) {
        const uint8_t key = request.SenseData[2] & 0x0F;
        const bool noSense = request.ScsiStatus == kStatusCheckCondition && key == 0;
        if (!noSense) {
            if (key == 1 && request.SenseData[12] == 0x5D) ReportBlock(holder.output, "SMART TRIP");
            return kPageFailed;
        }
    }
    if (!taken) return kPageFailed;
    holder.page = holder.buffer.data();
    const size_t start = PageStart(holder.buffer);

    const uint8_t* page = holder.buffer.data() + start;
    const uint8_t flags = page[2];
    holder.perf = (flags >> 7) & 1;
    holder.dexcpt = (flags >> 3) & 1;
    holder.test = flags & 0x04;
    holder.logErr = flags & 1;
    holder.mrie = page[3] & 0x0F;
    holder.intervalTimer = LoadBe32(page + 4);
    holder.reportCount = LoadBe32(page + 8);
    TraceExceptionsSettings(holder);
    return kPageOk;
}

int EnableSmartReporting(TestContext& context, ExceptionsPageSave& holder, uint8_t mrie, uint8_t flags)
{
    holder.page = nullptr;
    ScsiRequest request;
    bool taken = false;
    if (ModeSensePage(holder, context.Device(), request, taken) != 1) {
        if (request.ScsiStatus == 0) return kPageFailed;
        if (request.SenseData[2] != 0 && request.SenseData[2] != 1) return kPageFailed;
    }
    if (!taken) return kPageFailed;
    holder.page = holder.buffer.data();
    uint8_t* data = holder.buffer.data();
    const size_t start = PageStart(holder.buffer);
    // A drive that sent a block descriptor despite DBD: the page goes right
    // after the header, so the 16 bytes sent are header and page.
    if (start != kHeaderLength) {
        std::memmove(data + kHeaderLength, data + start, kPageBytes);
        data[3] = 0;
    }
    holder.savedFlags = data[kFlagsByte];
    holder.savedMrie = data[kMrieByte];
    holder.saved = true;
    if (flags != kSmartFlagsKeep) data[kFlagsByte] = flags;
    data[kMrieByte] = mrie;
    data[1] = 0;  // medium type: 00h on a direct-access device
    // A refused MODE SELECT changed nothing, and the engine must say so.
    if (ModeSelectPage(holder, context.Device(), 0) != 1) return kPageFailed;
    holder.changed = true;
    holder.changedOn = context.handle;
    holder.clock = &context.clock;
    return kPageOk;
}

int RestoreExceptionsPage(TestContext& context, ExceptionsPageSave& holder)
{
    // The page was never read for a change: there is nothing of the drive's
    // to put back, and the buffer holds nothing defined.
    if (!holder.saved) return kPageOk;
    return holder.Restore(context.Device(), &context.clock, 1);
}

void TraceExceptionsSettings(const ExceptionsPageSave& holder)
{
    if (!g_bLogToClog.load(std::memory_order_relaxed)) return;
    std::ostream& log = std::clog;
    if (holder.page == nullptr) {
        log << "null exceptions" << std::endl;
        return;
    }
    log << (holder.perf ? "Smart shall not cause delays, Perf=1" : "Perf=0") << std::endl;
    log << (holder.dexcpt ? "All informational exception disabled, DExcpt=1" : "DExcpt=0") << std::endl;
    if (holder.logErr) log << "Vendor specific error logging, LogErr=1" << std::endl;
    if (holder.dexcpt) {
        if (holder.mrie >= 0 && holder.mrie <= 6) log << kMrieTexts[holder.mrie] << std::endl;
        log << "MRIE=  " << std::hex << holder.mrie << std::dec << std::endl;
    }
}
