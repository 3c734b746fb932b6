// LOG SENSE and LOG SELECT (SPC-4), the drive's log pages, and the vendor
// command DFh that goes with the normalized SMART data.
#include "sim/sim_log_pages.h"

#include <algorithm>

#include "scsi/byte_order.h"
#include "sim/sim_disk.h"

namespace {

constexpr size_t kHeaderLength = 4;  // page header and parameter header alike
constexpr size_t kCounterLength = 8;
constexpr uint8_t kBinaryListControl = 0x03;  // format and linking 11b: binary format list
constexpr uint8_t kSettableControlBits = 0xBC;  // DU, TSD, ETC, TMC (bit 6 is obsolete)
constexpr uint8_t kFormatAndLinking = 0x03;
constexpr uint8_t kSubpageAll = 0xFF;

enum PageControl : uint8_t {
    kCurrentThreshold = 0,
    kCurrentCumulative = 1,
    kDefaultThreshold = 2,
    kDefaultCumulative = 3,
};

// INVALID FIELD IN PARAMETER LIST, pointing at the offending byte.
SimSense InvalidFieldInParameterList(size_t byteIndex, int bitIndex = -1)
{
    SimSense sense = MakeSense(kSenseKeyIllegalRequest, 0x26, 0x00);
    sense.fieldPointerValid = true;
    sense.inCdb = false;
    sense.fieldPointer = static_cast<uint16_t>(std::min<size_t>(byteIndex, 0xFFFF));
    if (bitIndex >= 0) {
        sense.bitPointerValid = true;
        sense.bitPointer = static_cast<uint8_t>(bitIndex);
    }
    return sense;
}

std::vector<SimLogParameter> CounterParameters(const std::vector<SimLogCounter>& counters, uint8_t pageControl)
{
    std::vector<SimLogParameter> parameters;
    for (const SimLogCounter& counter : counters) {
        SimLogParameter parameter{counter.code, counter.control, {}};
        switch (pageControl) {
        case kCurrentThreshold: AppendBigEndian(parameter.value, counter.threshold, kCounterLength); break;
        case kCurrentCumulative: AppendBigEndian(parameter.value, counter.cumulative, kCounterLength); break;
        default: AppendBigEndian(parameter.value, 0, kCounterLength); break;  // the defaults are zero
        }
        parameters.push_back(std::move(parameter));
    }
    return parameters;
}

// Parameters laid out as in a page (the self-test results log), read back.
std::vector<SimLogParameter> SplitParameters(const std::vector<uint8_t>& bytes)
{
    std::vector<SimLogParameter> parameters;
    size_t offset = 0;
    while (offset + kHeaderLength <= bytes.size()) {
        const size_t length = std::min<size_t>(bytes[offset + 3], bytes.size() - offset - kHeaderLength);
        SimLogParameter parameter;
        parameter.code = LoadBe16(&bytes[offset]);
        parameter.control = bytes[offset + 2];
        parameter.value.assign(bytes.begin() + static_cast<long>(offset + kHeaderLength),
                               bytes.begin() + static_cast<long>(offset + kHeaderLength + length));
        parameters.push_back(std::move(parameter));
        offset += kHeaderLength + length;
    }
    return parameters;
}

std::vector<uint8_t> ComposePage(uint8_t pageCode, const std::vector<SimLogParameter>& parameters)
{
    std::vector<uint8_t> page{pageCode, 0x00, 0x00, 0x00};
    for (const SimLogParameter& parameter : parameters) {
        AppendBigEndian(page, parameter.code, 2);
        page.push_back(parameter.control);
        page.push_back(static_cast<uint8_t>(parameter.value.size()));
        page.insert(page.end(), parameter.value.begin(), parameter.value.end());
    }
    const size_t length = page.size() - kHeaderLength;
    StoreBe16(page.data() + 2, static_cast<uint16_t>(length));
    return page;
}

// One parameter change a LOG SELECT parameter list asks for.
struct CounterUpdate {
    uint8_t page = 0;
    uint16_t code = 0;
    uint8_t control = 0;
    uint64_t value = 0;
};

}  // namespace

bool IsErrorCounterPage(uint8_t pageCode)
{
    return pageCode == kSimLogWriteErrors || pageCode == kSimLogReadErrors || pageCode == kSimLogVerifyErrors ||
           pageCode == kSimLogNonMediumErrors;
}

std::vector<uint16_t> StandardCounterCodes(uint8_t pageCode)
{
    if (pageCode == kSimLogNonMediumErrors) return {0x0000};
    if (IsErrorCounterPage(pageCode)) return {0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006};
    return {};
}

std::vector<SimAttribute> DefaultSimAttributes(uint8_t temperature)
{
    // Disk temperature in tenths of a degree, times in minutes of power on;
    // the hottest so far a little above the present reading.
    const uint16_t tenths = static_cast<uint16_t>(temperature == 0xFF ? 0 : temperature * 10);
    const uint16_t hottest = static_cast<uint16_t>(tenths + 65);
    std::vector<uint8_t> temperatures{100, 100, 45, 0x00, 0, 0, 0, 0, 0x00, 0x00, 0x46, 0x50, 0x00, 0xD2, 0x00,
                                      0x00, 0x00, 0x3C};
    StoreBe16(temperatures.data() + 4, tenths);
    StoreBe16(temperatures.data() + 6, hottest);
    return {
        {0x0004, {100, 100, 36, 0x00, 0, 0, 0, 0, 0, 0, 0, 0x03}},
        {0x0032, {100, 100, 20, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0x0037, {100, 100, 50, 0x00, 0, 0, 0, 0}},
        {0x0043, {100, 100, 30, 0x00, 0, 0, 0, 0}},
        {0x005B, {100, 100, 24, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0x0117, temperatures},
        {0x0145, {100, 100, 10, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x07}},
    };
}

bool SimLogConfig::Keeps(uint8_t pageCode) const
{
    return std::find(pages.begin(), pages.end(), pageCode) != pages.end();
}

bool SimLogConfig::OffersNormalizedSmart() const
{
    return normalizedSmart.value_or(Keeps(kSimLogAttributes));
}

SimLogState::SimLogState(const SimLogConfig& config)
{
    for (const uint8_t page : config.pages) {
        if (!IsErrorCounterPage(page)) continue;
        std::map<uint16_t, uint64_t> values;
        for (const uint16_t code : StandardCounterCodes(page)) values[code] = 0;
        if (const auto given = config.counters.find(page); given != config.counters.end())
            for (const auto& [code, value] : given->second) values[code] = value;
        std::vector<SimLogCounter>& kept = counters[page];
        for (const auto& [code, value] : values) kept.push_back({code, 0x00, value, 0});
        // What changed since power on is what differs from the defaults.
        lastReported[page] = CounterParameters(kept, kDefaultCumulative);
    }
}

std::vector<uint8_t> SimDisk::SupportedLogPages() const
{
    std::vector<uint8_t> pages{kSimLogSupportedPages};
    for (const uint8_t page : config_.logs.pages) pages.push_back(page);
    if (!SelfTestResultsLogParameters().empty()) pages.push_back(kSimLogSelfTestResults);
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

bool SimDisk::KeepsLogPage(uint8_t pageCode) const
{
    const std::vector<uint8_t> pages = SupportedLogPages();
    return std::find(pages.begin(), pages.end(), pageCode) != pages.end();
}

std::vector<SimLogParameter> SimDisk::LogParameters(uint8_t pageCode, uint8_t pageControl) const
{
    const SimLogConfig& logs = config_.logs;
    switch (pageCode) {
    case kSimLogTemperature:
        return {{0x0000, kBinaryListControl, {0x00, logs.temperature}},
                {0x0001, kBinaryListControl, {0x00, logs.tripTemperature}}};
    case kSimLogSelfTestResults: return SplitParameters(SelfTestResultsLogParameters());
    case kSimLogInformationalExceptions: {
        const uint8_t asc = logs.smartTripAscq ? kSimFailurePredictionAsc : 0x00;
        const uint8_t ascq = logs.smartTripAscq.value_or(0x00);
        return {{0x0000, kBinaryListControl, {asc, ascq, logs.temperature, logs.tripTemperature}}};
    }
    case kSimLogAttributes: {
        std::vector<SimLogParameter> parameters;
        for (const SimAttribute& attribute :
             logs.attributes ? *logs.attributes : DefaultSimAttributes(logs.temperature))
            parameters.push_back({attribute.code, kBinaryListControl, attribute.value});
        return parameters;
    }
    default: {
        const auto counters = logState_.counters.find(pageCode);
        if (counters == logState_.counters.end()) return {};
        return CounterParameters(counters->second, pageControl);
    }
    }
}

void SimDisk::LogSense(SimCommand& command)
{
    if (command.Bit(1, 1) && config_.logs.ppc == SimPpc::Rejected) return command.Fail(InvalidFieldInCdb(1, 1));
    const bool ppc = command.Bit(1, 1) && config_.logs.ppc == SimPpc::Supported;
    const uint8_t pageControl = command.Byte(2) >> 6;
    const uint8_t pageCode = command.Byte(2) & 0x3F;
    const uint8_t subpage = command.Byte(3);
    const uint16_t pointer = command.Be16(5);
    const uint16_t allocationLength = command.Be16(7);

    // This drive does not save log parameters.
    if (command.Bit(1, 0)) return command.Fail(InvalidFieldInCdb(1, 0));

    if (pageCode == kSimLogSupportedPages) {
        if (subpage != 0x00 && subpage != kSubpageAll) return command.Fail(InvalidFieldInCdb(3));
        if (pointer != 0) return command.Fail(InvalidFieldInCdb(5));
        const std::vector<uint8_t> pages = SupportedLogPages();
        std::vector<uint8_t> data{kSimLogSupportedPages, subpage, 0x00, 0x00};
        if (subpage == kSubpageAll) {
            // Supported pages and subpages: (page, subpage) pairs.
            data[0] |= 0x40;  // SPF
            for (const uint8_t page : pages) {
                data.push_back(page);
                data.push_back(0x00);
                if (page == kSimLogSupportedPages) data.insert(data.end(), {kSimLogSupportedPages, kSubpageAll});
            }
        } else {
            data.insert(data.end(), pages.begin(), pages.end());
        }
        StoreBe16(data.data() + 2, static_cast<uint16_t>(data.size() - kHeaderLength));
        return command.SendData(data, allocationLength);
    }
    if (!KeepsLogPage(pageCode)) return command.Fail(InvalidFieldInCdb(2, 5));
    if (subpage != 0x00) return command.Fail(InvalidFieldInCdb(3));

    const std::vector<SimLogParameter> current = LogParameters(pageCode, kCurrentCumulative);
    std::vector<SimLogParameter> reported = LogParameters(pageCode, pageControl);
    const bool pointerKnown = std::any_of(reported.begin(), reported.end(),
                                          [&](const SimLogParameter& parameter) { return parameter.code >= pointer; });
    if (pointer != 0 && !pointerKnown) return command.Fail(InvalidFieldInCdb(5));

    const std::vector<SimLogParameter>& before = logState_.lastReported[pageCode];
    std::vector<SimLogParameter> selected;
    for (size_t i = 0; i < reported.size(); ++i) {
        if (reported[i].code < pointer) continue;
        if (ppc) {
            // Changed since the last LOG SENSE or LOG SELECT of this page.
            const bool unchanged = std::any_of(before.begin(), before.end(),
                                               [&](const SimLogParameter& seen) { return seen == current[i]; });
            if (unchanged) continue;
        }
        selected.push_back(std::move(reported[i]));
    }
    logState_.lastReported[pageCode] = current;
    command.SendData(ComposePage(pageCode, selected), allocationLength);
}

void SimDisk::LogSelect(SimCommand& command)
{
    const bool pcr = command.Bit(1, 1);
    const uint8_t pageControl = command.Byte(2) >> 6;
    const uint8_t pageCode = command.Byte(2) & 0x3F;
    const uint8_t subpage = command.Byte(3);
    const uint16_t listLength = command.Be16(7);

    if (command.Bit(1, 0)) return command.Fail(InvalidFieldInCdb(1, 0));

    if (listLength == 0) {
        // Page code 00h addresses every page.
        if (subpage != 0x00) return command.Fail(InvalidFieldInCdb(3));
        if (pageCode != kSimLogSupportedPages && !KeepsLogPage(pageCode))
            return command.Fail(InvalidFieldInCdb(2, 5));
        const bool thresholds = pageControl == kCurrentThreshold || pageControl == kDefaultThreshold;
        // PCR resets whichever values the page control names; without it only
        // the two "default" page controls reset anything.
        const bool reset = pcr || pageControl == kDefaultThreshold || pageControl == kDefaultCumulative;
        for (auto& [page, counters] : logState_.counters) {
            if (pageCode != kSimLogSupportedPages && page != pageCode) continue;
            if (reset) {
                for (SimLogCounter& counter : counters) (thresholds ? counter.threshold : counter.cumulative) = 0;
            }
        }
        for (const uint8_t page : SupportedLogPages()) {
            if (page == kSimLogSupportedPages) continue;
            if (pageCode == kSimLogSupportedPages || page == pageCode)
                logState_.lastReported[page] = LogParameters(page, kCurrentCumulative);
        }
        return;
    }
    if (pcr) return command.Fail(InvalidFieldInCdb(1, 1));
    if (pageCode != 0x00) return command.Fail(InvalidFieldInCdb(2, 5));
    if (subpage != 0x00) return command.Fail(InvalidFieldInCdb(3));
    if (pageControl != kCurrentThreshold && pageControl != kCurrentCumulative)
        return command.Fail(InvalidFieldInCdb(2, 7));
    const uint8_t* list = command.ReceiveData(listLength);
    if (!list) return;

    // Everything is checked before anything changes.
    std::vector<CounterUpdate> updates;
    std::vector<uint8_t> pagesSet;
    int previousPage = -1;
    size_t offset = 0;
    while (offset < listLength) {
        if (listLength - offset < kHeaderLength) return command.Fail(InvalidFieldInCdb(7));
        const uint8_t page = list[offset] & 0x3F;
        if (list[offset] & 0x40) return command.Fail(InvalidFieldInParameterList(offset, 6));
        if (list[offset + 1] != 0x00) return command.Fail(InvalidFieldInParameterList(offset + 1));
        // The SMART key goes to page 06h whether or not the drive keeps that page.
        const bool keyPage = page == kSimLogNonMediumErrors && config_.logs.OffersNormalizedSmart();
        if (page == kSimLogSupportedPages || !(KeepsLogPage(page) || keyPage) || page <= previousPage)
            return command.Fail(InvalidFieldInParameterList(offset, 5));
        const size_t pageEnd = offset + kHeaderLength + LoadBe16(&list[offset + 2]);
        if (pageEnd > listLength) return command.Fail(InvalidFieldInCdb(7));
        previousPage = page;
        pagesSet.push_back(page);

        const std::vector<SimLogCounter>* counters = nullptr;
        if (const auto kept = logState_.counters.find(page); kept != logState_.counters.end()) counters = &kept->second;
        int previousCode = -1;
        size_t at = offset + kHeaderLength;
        while (at < pageEnd) {
            if (pageEnd - at < kHeaderLength) return command.Fail(InvalidFieldInParameterList(offset + 2));
            const uint16_t code = LoadBe16(&list[at]);
            const uint8_t control = list[at + 2];
            const size_t length = list[at + 3];
            if (at + kHeaderLength + length > pageEnd) return command.Fail(InvalidFieldInParameterList(at + 3));
            if (static_cast<int>(code) <= previousCode) return command.Fail(InvalidFieldInParameterList(at));
            previousCode = code;
            const uint8_t* value = &list[at + kHeaderLength];

            const bool smartKey = keyPage && code == kSimSmartKeyParameter;
            const auto counter =
                counters ? std::find_if(counters->begin(), counters->end(),
                                        [&](const SimLogCounter& kept) { return kept.code == code; })
                         : std::vector<SimLogCounter>::const_iterator{};
            if (smartKey) {
                if (length != 4) return command.Fail(InvalidFieldInParameterList(at + 3));
                if (LoadBe32(value) != kSimSmartKeyValue)
                    return command.Fail(InvalidFieldInParameterList(at + kHeaderLength));
            } else if (counters && counter != counters->end()) {
                if (length != kCounterLength) return command.Fail(InvalidFieldInParameterList(at + 3));
                if ((control & kFormatAndLinking) != 0x00) return command.Fail(InvalidFieldInParameterList(at + 2, 1));
                updates.push_back({page, code, static_cast<uint8_t>(control & kSettableControlBits),
                                   LoadBigEndian(value, kCounterLength)});
            } else {
                // Not a parameter of this page, or one only the drive sets.
                return command.Fail(InvalidFieldInParameterList(at));
            }
            at += kHeaderLength + length;
        }
        offset = pageEnd;
    }

    for (const CounterUpdate& update : updates) {
        for (SimLogCounter& counter : logState_.counters[update.page]) {
            if (counter.code != update.code) continue;
            counter.control = update.control;
            (pageControl == kCurrentThreshold ? counter.threshold : counter.cumulative) = update.value;
        }
    }
    for (const uint8_t page : pagesSet) logState_.lastReported[page] = LogParameters(page, kCurrentCumulative);
}

void SimDisk::VendorSmartCommand(SimCommand& command)
{
    // A drive without normalized SMART data knows no such command.
    if (!config_.logs.OffersNormalizedSmart()) return command.Fail(InvalidCommandOperationCode());
    // Bytes 2-3 name the function: 710Eh opens the normalized values.
    if (command.Byte(2) != 0x71) return command.Fail(InvalidFieldInCdb(2));
    if (command.Byte(3) != 0x0E) return command.Fail(InvalidFieldInCdb(3));
}
