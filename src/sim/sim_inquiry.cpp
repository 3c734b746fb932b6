// INQUIRY (SPC-4): standard data and the vital product data pages.
#include <algorithm>
#include <string>

#include "sim/sim_disk.h"

#include "scsi/byte_order.h"

namespace {

constexpr size_t kStandardInquiryLength = 96;
constexpr uint8_t kResponseDataFormat = 0x02;

void PutAscii(std::vector<uint8_t>& data, size_t offset, const std::string& text, size_t width)
{
    for (size_t i = 0; i < width; ++i) data[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

uint8_t PeripheralByte(const SimDriveConfig& config)
{
    return static_cast<uint8_t>((config.peripheralQualifier << 5) | (config.deviceType & 0x1F));
}

std::vector<uint8_t> VpdHeader(const SimDriveConfig& config, uint8_t pageCode)
{
    return {PeripheralByte(config), pageCode, 0x00, 0x00};
}

void SetPageLength(std::vector<uint8_t>& page)
{
    const size_t length = page.size() - 4;
    StoreBe16(page.data() + 2, static_cast<uint16_t>(length));
}

// The unit serial number page holds the serial right-aligned, blanks when
// there is none (SPC-4, Unit Serial Number page).
std::vector<uint8_t> UnitSerialNumberPage(const SimDriveConfig& config)
{
    std::vector<uint8_t> page = VpdHeader(config, 0x80);
    const std::string& serial = config.serial;
    const size_t width = std::max<size_t>(8, serial.size());
    for (size_t i = 0; i < width; ++i) {
        const size_t blanks = width - serial.size();
        page.push_back(i < blanks ? ' ' : static_cast<uint8_t>(serial[i - blanks]));
    }
    SetPageLength(page);
    return page;
}

uint64_t IdentityHash(const SimDriveConfig& config)
{
    uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
    for (const std::string* part : {&config.vendor, &config.product, &config.serial}) {
        for (char c : *part) {
            hash ^= static_cast<uint8_t>(c);
            hash *= 0x100000001B3ull;
        }
        hash ^= 0xFF;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// Device identification (SPC-4): a locally assigned NAA name
// (NAA 3h) and a T10 vendor ID designator.
std::vector<uint8_t> DeviceIdentificationPage(const SimDriveConfig& config)
{
    std::vector<uint8_t> page = VpdHeader(config, 0x83);

    const uint64_t naa = (uint64_t{0x3} << 60) | (IdentityHash(config) & 0x0FFFFFFFFFFFFFFFull);
    const uint8_t naaHeader[4] = {0x01, 0x03, 0x00, 0x08};  // binary; logical unit, NAA
    page.insert(page.end(), naaHeader, naaHeader + 4);
    AppendBigEndian(page, naa, 8);

    std::vector<uint8_t> t10(32);
    PutAscii(t10, 0, config.vendor, 8);
    PutAscii(t10, 8, config.product, 16);
    // The designator length is one byte: a very long serial is cut there.
    t10.resize(std::min<size_t>(24 + std::max<size_t>(8, config.serial.size()), 0xFF));
    PutAscii(t10, 24, config.serial, t10.size() - 24);
    const uint8_t t10Header[4] = {0x02, 0x01, 0x00, static_cast<uint8_t>(t10.size())};  // ASCII; T10 vendor ID
    page.insert(page.end(), t10Header, t10Header + 4);
    page.insert(page.end(), t10.begin(), t10.end());

    SetPageLength(page);
    return page;
}

// Pages in ascending order, as the supported pages list must give them.
constexpr uint8_t kSupportedVpdPages[] = {0x00, 0x80, 0x83};

}  // namespace

std::vector<uint8_t> SimDisk::StandardInquiryData() const
{
    const SimCapabilityBits& caps = config_.capabilities;
    std::vector<uint8_t> data(kStandardInquiryLength, 0);
    data[0] = PeripheralByte(config_);
    data[1] = config_.removable ? 0x80 : 0x00;
    data[2] = config_.version;
    data[3] = static_cast<uint8_t>((caps.aerc << 7) | (caps.trmIop << 6) | kResponseDataFormat);
    data[4] = static_cast<uint8_t>(kStandardInquiryLength - 5);
    data[6] = static_cast<uint8_t>((caps.addr32 << 1) | caps.addr16);
    data[7] = static_cast<uint8_t>((caps.relAdr << 7) | (caps.wbus32 << 6) | (caps.wbus16 << 5) | (caps.sync << 4) |
                                   (caps.linked << 3) | (caps.tranDis << 2) | (caps.cmdQue << 1) | caps.sftRe);
    PutAscii(data, 8, config_.vendor, 8);
    PutAscii(data, 16, config_.product, 16);
    PutAscii(data, 32, config_.revision, 4);
    // Bytes 36-55 are the vendor's own; some makers keep the serial number
    // in the first eight of them, others only in the unit serial number page.
    PutAscii(data, 36, config_.serialInStandardInquiry ? config_.serial : std::string(), 8);
    return data;
}

std::vector<uint8_t> SimDisk::VpdPage(uint8_t pageCode) const
{
    switch (pageCode) {
    case 0x00: {
        std::vector<uint8_t> page = VpdHeader(config_, 0x00);
        page.insert(page.end(), std::begin(kSupportedVpdPages), std::end(kSupportedVpdPages));
        SetPageLength(page);
        return page;
    }
    case 0x80: return UnitSerialNumberPage(config_);
    case 0x83: return DeviceIdentificationPage(config_);
    default: return {};
    }
}

void SimDisk::Inquiry(SimCommand& command)
{
    const bool evpd = command.Bit(1, 0);
    const uint8_t pageCode = command.Byte(2);
    const uint16_t allocationLength = command.Be16(3);

    // CmdDt (byte 1 bit 1) was dropped in SPC-3; this target does not
    // support command support data.
    if (command.Bit(1, 1)) {
        command.Fail(InvalidFieldInCdb(1, 1));
        return;
    }
    if (!evpd) {
        if (pageCode != 0) {
            command.Fail(InvalidFieldInCdb(2));
            return;
        }
        // The adapter keeps what it saw at its scan; the drive itself
        // reports the revision it runs now.
        std::vector<uint8_t> data = StandardInquiryData();
        PutAscii(data, 32, revision_, 4);
        command.SendData(data, allocationLength);
        return;
    }
    const std::vector<uint8_t> page = VpdPage(pageCode);
    if (page.empty()) {
        command.Fail(InvalidFieldInCdb(2));
        return;
    }
    command.SendData(page, allocationLength);
}
