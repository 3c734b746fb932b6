#include "smart/smart_parameters.h"

#include <algorithm>

#include "scsi/byte_order.h"
#include "scsi/string_format.h"

namespace {

constexpr size_t kHeaderLength = 4;       // page and parameter headers alike
constexpr uint16_t kGeneralParameter = 0x0000;  // page 2Fh: informational exceptions general

std::string FormatValue(SmartFormat format, uint32_t value)
{
    switch (format) {
    case SmartFormat::Unsigned: return StringPrintf("%u", static_cast<unsigned>(value));
    case SmartFormat::Signed: return StringPrintf("%d", static_cast<int>(value));
    case SmartFormat::UnsignedLong: return StringPrintf("%lu", static_cast<unsigned long>(value));
    case SmartFormat::HexByte: return StringPrintf("%02Xh", static_cast<unsigned>(value));
    }
    return {};
}

}  // namespace

uint16_t LogPageLength(std::span<const uint8_t> page)
{
    if (page.size() < kHeaderLength) return 0;
    return LoadBe16(page.data() + 2);
}

std::vector<LogParameterView> LogPageParameters(std::span<const uint8_t> page)
{
    std::vector<LogParameterView> parameters;
    const size_t pageLength = LogPageLength(page);
    // What belongs to the page and arrived.
    const size_t end = std::min(page.size(), pageLength + kHeaderLength);
    // Offsets are wider than the 16-bit page length, so a step can never
    // wrap back to an offset already walked.
    size_t offset = kHeaderLength;
    while (offset < pageLength && offset + kHeaderLength <= end) {
        const size_t step = page[offset + 3] + kHeaderLength;
        LogParameterView parameter;
        parameter.code = LoadBe16(page.data() + offset);
        parameter.bytes = page.subspan(offset, std::min(step, end - offset));
        parameters.push_back(parameter);
        offset += step;
    }
    return parameters;
}

SmartPagesListed ScanSupportedLogPages(std::span<const uint8_t> page)
{
    SmartPagesListed listed;
    if (page.size() < kHeaderLength) return listed;
    const size_t end = std::min(page.size(), LogPageLength(page) + kHeaderLength);
    for (size_t i = kHeaderLength; i < end; ++i) {
        if (page[i] == 0x2F) listed.statusPage = true;
        if (page[i] == 0x30) listed.attributePage = true;
    }
    return listed;
}

SmartTab FillSmartTab(const SmartPageSpec& page, std::span<const uint8_t> parameter)
{
    SmartTab tab;
    tab.page = &page;
    for (const SmartFieldSpec& field : page.fields) {
        const size_t last = size_t{field.firstByte} + field.byteCount;
        if (field.byteCount == 0 || last > parameter.size()) {
            tab.values.emplace_back();
            tab.numbers.emplace_back();
            continue;
        }
        // Fields of more than four bytes keep their low four.
        auto value = static_cast<uint32_t>(LoadBigEndian(parameter.data() + field.firstByte, field.byteCount));
        if (field.divisor > 1) value /= field.divisor;
        tab.values.push_back(FormatValue(field.format, value));
        tab.numbers.emplace_back(field.format == SmartFormat::Signed ? int64_t{static_cast<int32_t>(value)}
                                                                     : int64_t{value});
    }
    return tab;
}

SmartTab StatusTabFromPage(std::span<const uint8_t> page)
{
    for (const LogParameterView& parameter : LogPageParameters(page)) {
        if (parameter.code == kGeneralParameter) return FillSmartTab(SmartStatusPageSpec(), parameter.bytes);
    }
    return FillSmartTab(SmartStatusPageSpec(), {});
}

int WalkAttributeParameters(std::span<const uint8_t> page, std::vector<SmartTab>& tabs)
{
    int relevant = 0;
    for (const LogParameterView& parameter : LogPageParameters(page)) {
        const SmartPageSpec* layout = FindSmartAttributePage(parameter.code);
        if (!layout) continue;
        ++relevant;
        // One tab per page: a repeated code is counted but not shown twice.
        const bool shown = std::any_of(tabs.begin(), tabs.end(), [&](const SmartTab& tab) { return tab.page == layout; });
        if (!shown) tabs.push_back(FillSmartTab(*layout, parameter.bytes));
    }
    return relevant;
}
