// Mode parameters (SPC-4 7.5, SBC-3 6.4): the page model, MODE SENSE(6)
// and MODE SELECT(6).
#include "sim/sim_mode_pages.h"

#include <algorithm>
#include <cstring>

#include "scsi/byte_order.h"
#include "sim/sim_disk.h"

namespace {

constexpr uint8_t kPowerConditionOld = 0x0D;  // the code before SPC-3 moved it
constexpr uint8_t kControlPage = 0x0A;
constexpr uint8_t kInformationalExceptionsPage = 0x1C;
constexpr uint8_t kParametersSaveable = 0x80;
constexpr uint8_t kSubpageFormat = 0x40;
constexpr uint8_t kDescriptorSenseBit = 0x04;  // control page byte 2
// DPOFUA: READ and WRITE AND VERIFY take DPO and FUA (SBC-3).
constexpr uint8_t kDeviceSpecificParameter = 0x10;

// The layout of a drive whose bench gives no geometry.
constexpr uint32_t kHeads = 8;
constexpr uint32_t kSectorsPerTrack = 400;
constexpr uint16_t kRotationRate = 10000;

void Put(std::vector<uint8_t>& bytes, size_t pageByte, uint64_t value, size_t width)
{
    StoreBigEndian(&bytes[pageByte - 2], value, width);
}

// Value sets of `length` page bytes after the header; defaults are the
// current and saved values until a bench or MODE SELECT says otherwise.
struct PageBuilder {
    explicit PageBuilder(size_t pageLength) : defaults(pageLength), changeable(pageLength) {}
    PageBuilder& Set(size_t pageByte, uint64_t value, uint64_t mask, size_t width = 1)
    {
        Put(defaults, pageByte, value, width);
        Put(changeable, pageByte, mask, width);
        return *this;
    }
    SimModePageValues Done() const { return {defaults, changeable, defaults, defaults}; }
    std::vector<uint8_t> defaults;
    std::vector<uint8_t> changeable;
};

SimGeometry LayoutOf(uint64_t blocks, const SimGeometry* geometry)
{
    if (geometry && geometry->heads > 0 && geometry->sectorsPerTrack > 0) {
        SimGeometry layout = *geometry;
        layout.cylinders = std::min<uint32_t>(layout.cylinders, 0xFFFFFF);
        layout.heads = std::min<uint32_t>(layout.heads, 0xFF);
        layout.sectorsPerTrack = std::min<uint32_t>(layout.sectorsPerTrack, 0xFFFF);
        return layout;
    }
    const uint64_t perCylinder = uint64_t{kHeads} * kSectorsPerTrack;
    const auto cylinders = static_cast<uint32_t>(std::min<uint64_t>((blocks + perCylinder - 1) / perCylinder, 0xFFFFFF));
    return {cylinders, kHeads, kSectorsPerTrack};
}

SimSense ParameterListLengthError()
{
    return MakeSense(kSenseKeyIllegalRequest, 0x1A, 0x00);
}

// INVALID FIELD IN PARAMETER LIST pointing at a byte (and bit) of the list.
SimSense InvalidFieldInList(size_t byteIndex, int bitIndex = -1)
{
    SimSense sense = InvalidFieldInCdb(static_cast<uint16_t>(byteIndex), bitIndex);
    sense.asc = 0x26;
    sense.inCdb = false;
    return sense;
}

std::string PageName(uint8_t code)
{
    static const char kDigits[] = "0123456789ABCDEF";
    return std::string("page ") + kDigits[code >> 4] + kDigits[code & 0xF] + "h";
}

int HighestBit(uint8_t bits)
{
    for (int bit = 7; bit >= 0; --bit)
        if ((bits >> bit) & 1) return bit;
    return -1;
}

}  // namespace

std::vector<uint8_t> SimModePages::StandardOrder()
{
    return {0x01, 0x02, 0x03, 0x04, 0x07, 0x08, 0x0A, 0x0C, 0x10, 0x1A, 0x1C, 0x00};
}

std::optional<SimModePageValues> SimModePages::StandardPage(uint8_t code, uint64_t blocks, uint32_t blockLength,
                                                           const SimGeometry* geometry)
{
    const SimGeometry layout = LayoutOf(blocks, geometry);
    const uint32_t cylinders = layout.cylinders;
    switch (code) {
    case 0x00:  // this maker's unit attention page: SSM, IL, UA, Round, Strict, S2
        return PageBuilder(2).Set(2, 0x00, 0x77).Set(3, 0x00, 0xFF).Done();
    case 0x01:  // read-write error recovery
        return PageBuilder(10)
            .Set(2, 0xC0, 0xFF).Set(3, 0x14, 0xFF).Set(8, 0x0A, 0xFF).Set(10, 0x0BB8, 0xFFFF, 2)
            .Done();
    case 0x02:  // disconnect-reconnect
        return PageBuilder(14)
            .Set(2, 0x80, 0xFF).Set(3, 0x80, 0xFF).Set(4, 0, 0xFFFF, 2).Set(6, 0, 0xFFFF, 2).Set(8, 0, 0xFFFF, 2)
            .Set(10, 0x00A0, 0xFFFF, 2).Set(12, 0x00, 0x87).Set(14, 0, 0xFFFF, 2)
            .Done();
    case 0x03:  // format device
        return PageBuilder(22)
            .Set(2, layout.heads, 0, 2).Set(10, layout.sectorsPerTrack, 0, 2).Set(12, blockLength, 0, 2).Set(14, 1, 0, 2)
            .Set(16, 0x0012, 0xFFFF, 2).Set(18, 0x0020, 0xFFFF, 2).Set(20, 0x40, 0)
            .Done();
    case 0x04:  // rigid disk geometry
        return PageBuilder(22)
            .Set(2, cylinders, 0, 3).Set(5, layout.heads, 0).Set(6, cylinders, 0, 3).Set(9, cylinders, 0, 3)
            .Set(12, 1, 0, 2).Set(17, 0x00, 0x03).Set(20, kRotationRate, 0, 2)
            .Done();
    case 0x07:  // verify error recovery
        return PageBuilder(10).Set(2, 0x00, 0x0F).Set(3, 0x14, 0xFF).Set(10, 0x0BB8, 0xFFFF, 2).Done();
    case 0x08:  // caching
        return PageBuilder(18)
            .Set(2, 0x04, 0x95).Set(3, 0x00, 0xFF).Set(4, 0xFFFF, 0xFFFF, 2).Set(6, 0, 0xFFFF, 2)
            .Set(8, 0xFFFF, 0xFFFF, 2).Set(10, 0xFFFF, 0xFFFF, 2).Set(12, 0x00, 0xA0).Set(13, 0x10, 0xFF)
            .Set(14, 0, 0xFFFF, 2)
            .Done();
    case kControlPage:
        return PageBuilder(10)
            .Set(2, 0x02, 0x07).Set(3, 0x10, 0xF2).Set(4, 0x00, 0x40).Set(8, 0, 0xFFFF, 2).Set(10, 0x0A8C, 0, 2)
            .Done();
    case 0x0C:  // notch and partition: sixteen zones, the active one selectable
        return PageBuilder(22)
            .Set(2, 0x80, 0x00).Set(4, 16, 0, 2).Set(6, 0, 0xFFFF, 2).Set(12, std::min<uint64_t>(blocks, 0xFFFFFFFF) - 1, 0, 4)
            .Set(16, 0x1008, 0, 8)
            .Done();
    case kPowerConditionOld:
        return PageBuilder(10).Set(3, 0x00, 0x03).Set(4, 20, 0xFFFFFFFF, 4).Set(8, 0, 0xFFFFFFFF, 4).Done();
    case 0x10:  // XOR control
        return PageBuilder(22)
            .Set(2, 0x00, 0x02).Set(4, 0x400, 0, 4).Set(12, 0x400, 0, 4).Set(16, 0x400, 0, 4).Set(22, 0, 0xFFFF, 2)
            .Done();
    case 0x1A:  // power condition: timers in 100 ms units
        return PageBuilder(38)
            .Set(2, 0x00, 0x01).Set(3, 0x00, 0x0F).Set(4, 20, 0xFFFFFFFF, 4).Set(8, 36000, 0xFFFFFFFF, 4)
            .Set(12, 6000, 0xFFFFFFFF, 4).Set(16, 36000, 0xFFFFFFFF, 4).Set(20, 36000, 0xFFFFFFFF, 4)
            .Set(39, 0x54, 0xFC)
            .Done();
    case kInformationalExceptionsPage:  // report on request only, every ten minutes
        return PageBuilder(10).Set(2, 0x00, 0xBD).Set(3, 0x06, 0x0F).Set(4, 6000, 0xFFFFFFFF, 4)
            .Set(8, 0, 0xFFFFFFFF, 4)
            .Done();
    default:
        return std::nullopt;
    }
}

bool SimModePages::Check(const SimModePagesConfig& config, uint64_t blocks, uint32_t blockLength,
                         std::string& error)
{
    const std::vector<uint8_t> order = config.pages ? *config.pages : StandardOrder();
    size_t total = kModeHeader6Length + kShortBlockDescriptorLength;
    for (size_t i = 0; i < order.size(); ++i) {
        const uint8_t code = order[i];
        const std::string name = PageName(code);
        if (code >= kModePageAll) return error = name + ": page codes go from 0 to 62", false;
        if (std::count(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(i), code) > 0)
            return error = name + " is listed twice", false;
        const auto standard = StandardPage(code, blocks, blockLength);
        const auto found = config.values.find(code);
        const SimModePageOverride none;
        const SimModePageOverride& given = found == config.values.end() ? none : found->second;
        if (!standard && !given.defaults)
            return error = name + " is not one this drive model knows: give its \"default\" values", false;
        const size_t length = given.defaults ? given.defaults->size() : standard->defaults.size();
        for (const auto* set : {&given.current, &given.changeable, &given.saved}) {
            if (*set && (*set)->size() != length)
                return error = name + ": every value set needs " + std::to_string(length) + " bytes", false;
        }
        if (length > 0xFF) return error = name + " is longer than 255 bytes", false;
        total += 2 + length;
    }
    for (const auto& [code, values] : config.values) {
        if (std::find(order.begin(), order.end(), code) == order.end())
            return error = "values are given for " + PageName(code) + ", which the drive does not have", false;
    }
    if (total > kModeSense6MaxData)
        return error = "the pages need " + std::to_string(total) + " bytes of mode data; MODE SENSE(6) carries 256",
               false;
    return true;
}

SimModePages::SimModePages(const SimModePagesConfig& config, uint64_t blocks, uint32_t blockLength,
                           bool descriptorSense, const SimGeometry* geometry)
    : saveable_(config.saveable), strictSelect_(config.strictSelect), blocks_(blocks), blockLength_(blockLength)
{
    // A configuration the bench did not check is taken as far as it makes
    // sense: unknown pages without values are left out, value sets of the
    // wrong size are cut or padded, pages that no longer fit are dropped.
    size_t total = kModeHeader6Length + kShortBlockDescriptorLength;
    for (uint8_t code : config.pages ? *config.pages : StandardOrder()) {
        if (code >= kModePageAll || Find(code)) continue;
        Page page{code, {}};
        const auto found = config.values.find(code);
        const SimModePageOverride none;
        const SimModePageOverride& given = found == config.values.end() ? none : found->second;
        if (auto standard = StandardPage(code, blocks, blockLength, geometry)) {
            page.values = *standard;
        } else if (!given.defaults) {
            continue;
        }
        SimModePageValues& values = page.values;
        if (given.defaults) values.defaults = *given.defaults;
        const size_t length = std::min<size_t>(values.defaults.size(), 0xFF);
        values.defaults.resize(length);
        values.changeable.resize(length);
        if (given.changeable) values.changeable = *given.changeable;
        values.saved = given.saved ? *given.saved : (given.current ? *given.current : values.defaults);
        values.current = given.current ? *given.current : values.saved;
        for (auto* set : {&values.changeable, &values.saved, &values.current}) set->resize(length);
        if (total + 2 + length > kModeSense6MaxData) continue;
        total += 2 + length;
        pages_.push_back(std::move(page));
        order_.push_back(code);
    }
    // A drive set to descriptor-format sense was saved that way.
    Page* control = Find(kControlPage);
    if (descriptorSense && control && !control->values.saved.empty()) {
        control->values.saved[0] |= kDescriptorSenseBit;
        control->values.current[0] |= kDescriptorSenseBit;
    }
}

const SimModePages::Page* SimModePages::Find(uint8_t code) const
{
    for (const Page& page : pages_)
        if (page.code == code) return &page;
    return nullptr;
}

SimModePages::Page* SimModePages::Find(uint8_t code)
{
    return const_cast<Page*>(static_cast<const SimModePages*>(this)->Find(code));
}

std::vector<uint8_t> SimModePages::Values(uint8_t code, uint8_t pageControl) const
{
    const Page* page = Find(code);
    if (!page) return {};
    switch (pageControl) {
    case kModePageControlChangeable: return page->values.changeable;
    case kModePageControlDefault: return page->values.defaults;
    case kModePageControlSaved: return page->values.saved;
    default: return page->values.current;
    }
}

void SimModePages::AppendPage(std::vector<uint8_t>& data, const Page& page, uint8_t pageControl) const
{
    const std::vector<uint8_t> values = Values(page.code, pageControl);
    data.push_back(static_cast<uint8_t>(page.code | (saveable_ ? kParametersSaveable : 0)));
    data.push_back(static_cast<uint8_t>(values.size()));
    data.insert(data.end(), values.begin(), values.end());
}

SimModePages::SenseReply SimModePages::Sense(uint8_t pageControl, uint8_t pageCode, uint8_t subpageCode,
                                             bool disableBlockDescriptors) const
{
    SenseReply reply;
    // No page of this drive has subpages; FFh asks for a page with all of
    // its subpages, which is the page alone.
    if (subpageCode != 0x00 && subpageCode != 0xFF) {
        reply.error = InvalidFieldInCdb(3);
        return reply;
    }
    if (pageControl == kModePageControlSaved && !saveable_) {
        reply.error = MakeSense(kSenseKeyIllegalRequest, 0x39, 0x00);  // saving parameters not supported
        return reply;
    }
    if (pageCode != kModePageAll && !Find(pageCode)) {
        reply.error = InvalidFieldInCdb(2, 5);
        return reply;
    }
    std::vector<uint8_t>& data = reply.data;
    data = {0x00, 0x00, kDeviceSpecificParameter, 0x00};
    if (!disableBlockDescriptors) {
        // Short LBA block descriptor (SBC-3); the changeable values show
        // neither field can be changed here.
        data[3] = kShortBlockDescriptorLength;
        const bool changeable = pageControl == kModePageControlChangeable;
        const uint32_t count = changeable ? 0 : static_cast<uint32_t>(std::min<uint64_t>(blocks_, 0xFFFFFFFF));
        const uint32_t length = changeable ? 0 : blockLength_;
        AppendBigEndian(data, count, 4);
        data.push_back(0x00);  // reserved
        AppendBigEndian(data, length, 3);
    }
    for (uint8_t code : order_) {
        if (pageCode == kModePageAll || pageCode == code) AppendPage(data, *Find(code), pageControl);
    }
    data[0] = static_cast<uint8_t>(data.size() - 1);
    return reply;
}

std::optional<SimSense> SimModePages::CheckPage(const Page& page, const uint8_t* bytes, size_t offset) const
{
    const std::vector<uint8_t>& current = page.values.current;
    const std::vector<uint8_t>& changeable = page.values.changeable;
    for (size_t i = 0; i < current.size(); ++i) {
        const uint8_t fixed = static_cast<uint8_t>((bytes[i] ^ current[i]) & ~changeable[i]);
        if (fixed != 0) return InvalidFieldInList(offset + 2 + i, HighestBit(fixed));
    }
    if (page.code == kInformationalExceptionsPage && current.size() >= 2) {
        // TEST asks for a false exception, DEXCPT disables them: not both.
        if ((bytes[0] & 0x0C) == 0x0C) return InvalidFieldInList(offset + 2, 2);
        const uint8_t mrie = bytes[1] & 0x0F;
        if (mrie >= 0x7 && mrie <= 0xB) return InvalidFieldInList(offset + 3, 3);
    }
    if (page.code == kControlPage && current.size() >= 2 && ((bytes[1] >> 1) & 0x03) == 0x02)
        return InvalidFieldInList(offset + 3, 2);  // QERR 10b is reserved
    return std::nullopt;
}

std::optional<SimSense> SimModePages::Select(const uint8_t* list, size_t length, bool save)
{
    if (length == 0) return std::nullopt;
    if (length < kModeHeader6Length) return ParameterListLengthError();
    // The mode data length is reserved in MODE SELECT, and so is the whole
    // device-specific parameter (SBC-3: WP and DPOFUA too).
    if (strictSelect_ && list[0] != 0x00) return InvalidFieldInList(0, HighestBit(list[0]));
    if (list[1] != 0x00) return InvalidFieldInList(1);
    if (strictSelect_ && list[2] != 0x00) return InvalidFieldInList(2, HighestBit(list[2]));
    const size_t descriptorLength = list[3];
    if (descriptorLength != 0 && descriptorLength != kShortBlockDescriptorLength) return InvalidFieldInList(3);
    size_t offset = kModeHeader6Length;
    if (descriptorLength != 0) {
        if (length < offset + descriptorLength) return ParameterListLengthError();
        // This drive formats to one block length only.
        const uint32_t blockLength = LoadBe24(list + offset + 5);
        if (blockLength != blockLength_) return InvalidFieldInList(offset + 5);
        offset += descriptorLength;
    }

    struct Accepted {
        Page* page;
        const uint8_t* bytes;
    };
    std::vector<Accepted> accepted;
    while (offset < length) {
        if (length - offset < 2) return ParameterListLengthError();
        const uint8_t code = list[offset] & 0x3F;
        if (strictSelect_ && (list[offset] & kParametersSaveable)) return InvalidFieldInList(offset, 7);  // PS
        if (list[offset] & kSubpageFormat) return InvalidFieldInList(offset, 6);
        Page* page = Find(code);
        if (!page) return InvalidFieldInList(offset, 5);
        if (list[offset + 1] != page->values.current.size()) return InvalidFieldInList(offset + 1);
        if (length - offset - 2 < page->values.current.size()) return ParameterListLengthError();
        if (auto refused = CheckPage(*page, list + offset + 2, offset)) return refused;
        accepted.push_back({page, list + offset + 2});
        offset += 2 + page->values.current.size();
    }
    for (const Accepted& item : accepted)
        std::memcpy(item.page->values.current.data(), item.bytes, item.page->values.current.size());
    if (save) {
        for (Page& page : pages_) page.values.saved = page.values.current;
    }
    return std::nullopt;
}

SimInformationalExceptions SimModePages::InformationalExceptions() const
{
    SimInformationalExceptions control;
    const Page* page = Find(kInformationalExceptionsPage);
    if (!page || page->values.current.size() < 10) return control;
    const uint8_t* bytes = page->values.current.data();
    control.perf = bytes[0] & 0x80;
    control.ebf = bytes[0] & 0x20;
    control.ewasc = bytes[0] & 0x10;
    control.dexcpt = bytes[0] & 0x08;
    control.test = bytes[0] & 0x04;
    control.ebackerr = bytes[0] & 0x02;
    control.logErr = bytes[0] & 0x01;
    control.mrie = bytes[1] & 0x0F;
    control.intervalTimer = LoadBe32(bytes + 2);
    control.reportCount = LoadBe32(bytes + 6);
    return control;
}

bool SimModePages::DescriptorSense() const
{
    const Page* page = Find(kControlPage);
    return page && !page->values.current.empty() && (page->values.current[0] & kDescriptorSenseBit);
}

void SimModePages::SetDescriptorSense(bool descriptor)
{
    Page* page = Find(kControlPage);
    if (!page || page->values.current.empty()) return;
    if (descriptor)
        page->values.current[0] |= kDescriptorSenseBit;
    else
        page->values.current[0] &= static_cast<uint8_t>(~kDescriptorSenseBit);
}

// The SimDisk commands. D_SENSE lives in the drive's sense encoder too
// (the bench can set it directly), so the two are kept alike here.

void SimDisk::ModeSense6(SimCommand& command)
{
    const bool disableBlockDescriptors = command.Bit(1, 3);
    const uint8_t pageControl = command.Byte(2) >> 6;
    const uint8_t pageCode = command.Byte(2) & 0x3F;
    modePages_.SetDescriptorSense(descriptorSense_);
    const SimModePages::SenseReply reply =
        modePages_.Sense(pageControl, pageCode, command.Byte(3), disableBlockDescriptors);
    if (reply.error) {
        command.Fail(*reply.error);
        return;
    }
    command.SendData(reply.data, command.Byte(4));
}

void SimDisk::ModeSelect6(SimCommand& command)
{
    const bool save = command.Bit(1, 0);
    const uint8_t length = command.Byte(4);
    // Pages in a vendor's own format (PF 0) are not ones this drive knows.
    if (!command.Bit(1, 4) && modePages_.StrictSelect()) {
        command.Fail(InvalidFieldInCdb(1, 4));
        return;
    }
    if (save && !modePages_.Saveable()) {
        command.Fail(InvalidFieldInCdb(1, 0));
        return;
    }
    const uint8_t* list = command.ReceiveData(length);
    if (!list) return;
    modePages_.SetDescriptorSense(descriptorSense_);
    if (auto refused = modePages_.Select(list, length, save)) {
        command.Fail(*refused);
        return;
    }
    descriptorSense_ = modePages_.DescriptorSense();
}

SimInformationalExceptions SimDisk::InformationalExceptionsControl() const
{
    return modePages_.InformationalExceptions();
}
