#include "drives/identity.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drives/device_entry.h"
#include "platform/device_catalog.h"
#include "scsi/builders.h"
#include "scsi/inquiry_data.h"
#include "scsi/report.h"

namespace {

template <size_t N>
void CopyText(char (&to)[N], const char (&from)[N])
{
    std::memcpy(to, from, N);
    to[N - 1] = '\0';
}

template <size_t N>
void CopyText(char (&to)[N], std::string_view from)
{
    const size_t count = std::min(from.size(), N - 1);
    std::memcpy(to, from.data(), count);
    std::memset(to + count, 0, N - count);
}

// The unit serial number page; nothing when the drive has none to give.
std::optional<std::string> ReadUnitSerialNumber(DeviceHandle* handle)
{
    std::vector<uint8_t> page(kInquiryBufferSize, 0);
    ScsiRequest request;
    request.DataTransferLength = kInquiryBufferSize;
    request.DataBuffer = page.data();
    const uint8_t evpd = 1;
    const uint8_t pageCode = kUnitSerialNumberPage;
    // A drive without the page refuses it: that is an answer, not a fault
    // worth a report.
    if (ScsiInquiry(&evpd, &pageCode, request, handle, 2) != 1) return std::nullopt;
    return DecodeUnitSerialNumberPage(page.data(), DataTransferred(request));
}

// Standard INQUIRY bytes 36-43 where the drive keeps its serial there,
// otherwise the unit serial number page. Blank bytes stay as the drive
// sent them when neither holds one; bytes that are not text are dropped.
std::string SerialNumberOf(const uint8_t* inquiry, size_t received, const StandardInquiry& decoded,
                           DeviceHandle* handle)
{
    if (HasInquirySerialNumber(inquiry, received)) return decoded.serialNumber;
    if (auto fromPage = ReadUnitSerialNumber(handle)) return *fromPage;
    const std::string field = decoded.serialNumber;
    const bool blank = field.size() == 8 && field.find_first_not_of(' ') == std::string::npos;
    return blank ? field : std::string();
}

void StoreCapabilityFlags(DeviceEntry& entry, const StandardInquiry& inquiry)
{
    entry.SftRe = inquiry.byte7 & 0x01;
    entry.CmdQue = (inquiry.byte7 >> 1) & 1;
    entry.TranDis = (inquiry.byte7 >> 2) & 1;
    entry.Linked = (inquiry.byte7 >> 3) & 1;
    entry.Sync = (inquiry.byte7 >> 4) & 1;
    entry.WBus16 = (inquiry.byte7 >> 5) & 1;
    entry.WBus32 = (inquiry.byte7 >> 6) & 1;
    entry.RelAdr = (inquiry.byte7 >> 7) & 1;
    entry.ADDR16 = inquiry.byte6 & 0x01;
    entry.ADDR32 = (inquiry.byte6 >> 1) & 1;
    entry.AERC = (inquiry.byte3 >> 7) & 1;
    entry.TrmIOP = (inquiry.byte3 >> 6) & 1;
}

}  // namespace

int ReadDriveInquiry(uint8_t* buffer, DriveIdentity& /*identity*/, DeviceHandle* handle, uint32_t* received)
{
    ScsiRequest request;
    request.DataTransferLength = kInquiryBufferSize;
    request.DataBuffer = buffer;
    const uint8_t evpd = 0;
    const uint8_t pageCode = 0;
    const bool answered = ScsiInquiry(&evpd, &pageCode, request, handle, 1) == 1;
    // GOOD status with not even the header moved is no answer: an empty
    // buffer would read as a direct-access device.
    if (answered && DataTransferred(request) < kInquiryHeaderLength)
        std::clog << "INQUIRY returned " << DataTransferred(request) << " bytes";
    if (!answered || DataTransferred(request) < kInquiryHeaderLength) {
        std::clog << std::endl;
        return kIdentityInquiryFailed;
    }
    if (received) *received = DataTransferred(request);
    ReportHexDump("inquiry data", buffer, kInquiryBufferSize);
    return kIdentityOk;
}

int ReadDriveIdentity(DriveIdentity& identity, DeviceHandle* handle, int report)
{
    std::vector<uint8_t> buffer(kInquiryBufferSize, 0);
    uint32_t received = 0;
    if (ReadDriveInquiry(buffer.data(), identity, handle, &received) != kIdentityOk) return kIdentityInquiryFailed;

    const StandardInquiry inquiry = DecodeStandardInquiry(buffer.data(), received);
    if (inquiry.peripheral != kDirectAccessDevice) {
        std::clog << "Requested target type: " << static_cast<int>(inquiry.peripheral) << " is not a disk drive"
                  << std::endl;
        return kIdentityNotDisk;
    }

    const std::string serial = SerialNumberOf(buffer.data(), received, inquiry, handle);
    identity.isMakerDrive = std::strstr(inquiry.vendorId, kMakerVendorId) != nullptr ? 1 : 0;
    CopyText(identity.vendorId, inquiry.vendorId);
    CopyText(identity.productId, inquiry.productId);
    CopyText(identity.revision, inquiry.revision);
    CopyText(identity.serialNumber, serial);
    if (DeviceEntry* entry = identity.entry) {
        entry->isMakerDrive = identity.isMakerDrive;
        CopyText(entry->vendorId, inquiry.vendorId);
        CopyText(entry->productId, inquiry.productId);
        CopyText(entry->revision, inquiry.revision);
        CopyText(entry->serialNumber, serial);
        StoreCapabilityFlags(*entry, inquiry);
    }

    if (identity.isMakerDrive == 1 && report == 1) {
        ReportDevicePath(identity, 0);
        ReportLine(identity.outputWindow, "Drive Vendor Id...........", identity.vendorId);
        ReportLine(identity.outputWindow, "Product Id................", identity.productId);
        ReportLine(identity.outputWindow, "Serial Number.............", identity.serialNumber);
    }
    return kIdentityOk;
}

int ReadDriveCapacity(DriveIdentity& identity, DeviceHandle* handle, uint32_t address, uint8_t pmi, int report)
{
    uint8_t data[8] = {};
    ScsiRequest request;
    request.DataTransferLength = sizeof data;
    request.DataBuffer = data;
    // A failed command, or one that did not bring its 8 bytes, reads as 0 / 0.
    const bool answered = ScsiReadCapacity(pmi, address, request, handle, report) == 1 &&
                          DataTransferred(request) == sizeof data;
    const Capacity10 capacity = answered ? DecodeReadCapacity10(data, sizeof data) : Capacity10{};
    identity.lastLba = capacity.lastLba;
    identity.blockLength = capacity.blockLength;
    if (capacity.lastLba != kCapacity10Overflow) return kIdentityOk;

    // The drive has more blocks than 32 bits address. Should READ
    // CAPACITY(16) fail, what (10) said still holds: every block up to
    // FFFFFFFFh exists.
    uint8_t data16[kReadCapacity16Length] = {};
    ScsiRequest request16;
    request16.DataTransferLength = sizeof data16;
    request16.DataBuffer = data16;
    if (ScsiReadCapacity16(pmi, address, sizeof data16, request16, handle, report) != 1 ||
        DataTransferred(request16) < kReadCapacity16Needed)
        return kIdentityOk;
    const Capacity16 capacity16 = DecodeReadCapacity16(data16, DataTransferred(request16));
    identity.lastLba = capacity16.lastLba;
    identity.blockLength = capacity16.blockLength;
    return kIdentityOk;
}

int RefreshDriveIdentity(const DeviceCatalog& catalog, DeviceEntry& entry)
{
    DriveIdentity identity;
    identity.entry = &entry;
    identity.pathPrefix = catalog.PathPrefix();
    identity.pathStem = catalog.PathStem();
    const std::string& prefix = identity.pathPrefix;
    identity.deviceName =
        entry.path.compare(0, prefix.size(), prefix) == 0 ? entry.path.substr(prefix.size()) : entry.path;
    if (identity.deviceName.empty()) identity.deviceName = entry.path;

    const int result = ReadDriveIdentity(identity, &entry.handle, 1);
    if (result == kIdentityOk) {
        ReadDriveCapacity(identity, &entry.handle, 0, 0, 2);
        entry.lastLba = identity.lastLba;
        entry.blockLength = static_cast<uint16_t>(identity.blockLength);
    }
    return result;
}
