#include "selftest/dst_results_log.h"

#include "scsi/byte_order.h"

#include <algorithm>

namespace {

constexpr uint8_t kSelfTestResultsPage = 0x10;
constexpr uint16_t kPageLength = 400;  // 20 parameters of 20 bytes
constexpr size_t kEntryCount = 20;
constexpr size_t kParameterSize = 20;
constexpr size_t kParameterHeader = 4;

// How many entries were added at the top since `before` was read: the
// smallest shift that lines the earlier entries up with the present ones
// (the oldest fall off the end of a full log).
size_t NewEntryCount(const std::vector<DstLogEntry>& now, const std::vector<DstLogEntry>& before)
{
    for (size_t shift = 0; shift < now.size(); ++shift) {
        bool linesUp = true;
        for (size_t i = 0; shift + i < now.size() && linesUp; ++i)
            linesUp = now[shift + i] == (i < before.size() ? before[i] : DstLogEntry{});
        if (linesUp) return shift;
    }
    return now.size();
}

}  // namespace

uint16_t DstLogEntry::TimeStamp() const { return LoadBe16(&bytes[2]); }

uint32_t DstLogEntry::FailingLbaHigh() const { return LoadBe32(&bytes[4]); }

uint32_t DstLogEntry::FailingLbaLow() const { return LoadBe32(&bytes[8]); }

bool DstLogEntry::Empty() const
{
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte == 0; });
}

std::optional<std::vector<DstLogEntry>> DecodeDstResultsPage(const uint8_t* page)
{
    if (page == nullptr || page[0] != kSelfTestResultsPage || page[1] != 0x00 || LoadBe16(page + 2) != kPageLength)
        return std::nullopt;
    std::vector<DstLogEntry> entries(kEntryCount);
    for (size_t k = 0; k < kEntryCount; ++k) {
        const uint8_t* content = page + 4 + kParameterSize * k + kParameterHeader;
        std::copy(content, content + entries[k].bytes.size(), entries[k].bytes.begin());
    }
    return entries;
}

DstRunMark MarkDstRun(const std::vector<DstLogEntry>& entries, uint8_t sendDiagnosticCode)
{
    DstRunMark mark;
    mark.selfTestCode = static_cast<uint8_t>(sendDiagnosticCode >> 5);
    mark.entries = entries;
    for (const DstLogEntry& entry : entries) mark.newestTimeStamp = std::max(mark.newestTimeStamp, entry.TimeStamp());
    return mark;
}

DstRunEntryState FindDstRunEntry(const std::vector<DstLogEntry>& entries, const DstRunMark& mark)
{
    if (entries.empty() || (NewEntryCount(entries, mark.entries) == 0 && !mark.seenRunning))
        return DstRunEntryState::None;
    const DstLogEntry& newest = entries.front();
    if (newest.Empty() || newest.SelfTestCode() != mark.selfTestCode) return DstRunEntryState::None;
    if (newest.Result() == kDstResultInProgress) return DstRunEntryState::InProgress;
    if (newest.TimeStamp() < mark.newestTimeStamp) return DstRunEntryState::None;
    return DstRunEntryState::Ended;
}
