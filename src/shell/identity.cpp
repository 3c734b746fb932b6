#include "shell/identity.h"

#include <cstring>
#include <iostream>
#include <vector>

#include "platform/device_catalog.h"
#include "scsi/builders.h"
#include "scsi/inquiry_data.h"
#include "scsi/report.h"
#include "shell/device_entry.h"

namespace {

template <size_t N>
void CopyText(char (&to)[N], const char (&from)[N])
{
    std::memcpy(to, from, N);
    to[N - 1] = '\0';
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

int ReadDriveInquiry(uint8_t* buffer, DriveIdentity& /*identity*/, DeviceHandle* handle)
{
    ScsiRequest request;
    request.DataTransferLength = kInquiryBufferSize;
    request.DataBuffer = buffer;
    const uint8_t evpd = 0;
    const uint8_t pageCode = 0;
    if (ScsiInquiry(&evpd, &pageCode, request, handle, 1) != 1) {
        std::clog << std::endl;
        return kIdentityInquiryFailed;
    }
    ReportHexDump("inquiry data", buffer, kInquiryBufferSize);
    return kIdentityOk;
}

int ReadDriveIdentity(DriveIdentity& identity, DeviceHandle* handle, int report)
{
    std::vector<uint8_t> buffer(kInquiryBufferSize, 0);
    if (ReadDriveInquiry(buffer.data(), identity, handle) != kIdentityOk) return kIdentityInquiryFailed;

    const StandardInquiry inquiry = DecodeStandardInquiry(buffer.data(), buffer.size());
    if (inquiry.peripheral != kDirectAccessDevice) {
        std::clog << "Requested target type: " << static_cast<int>(inquiry.peripheral) << " is not a disk drive"
                  << std::endl;
        return kIdentityNotDisk;
    }

    identity.isMakerDrive = std::strstr(inquiry.vendorId, kMakerVendorId) != nullptr ? 1 : 0;
    CopyText(identity.vendorId, inquiry.vendorId);
    CopyText(identity.productId, inquiry.productId);
    CopyText(identity.revision, inquiry.revision);
    CopyText(identity.serialNumber, inquiry.serialNumber);
    if (DeviceEntry* entry = identity.entry) {
        entry->isMakerDrive = identity.isMakerDrive;
        CopyText(entry->vendorId, inquiry.vendorId);
        CopyText(entry->productId, inquiry.productId);
        CopyText(entry->revision, inquiry.revision);
        CopyText(entry->serialNumber, inquiry.serialNumber);
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
    // A failed command leaves the zeroed buffer, so the drive reads as 0 / 0.
    ScsiReadCapacity(pmi, address, request, handle, report);
    const Capacity10 capacity = DecodeReadCapacity10(data, sizeof data);
    identity.lastLba = capacity.lastLba;
    identity.blockLength = capacity.blockLength;
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
