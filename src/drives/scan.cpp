#include "drives/scan.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "drives/device_table.h"
#include "drives/identity.h"
#include "platform/adapter_list.h"
#include "scsi/drive_identity.h"
#include "scsi/report.h"
#include "scsi/string_format.h"

namespace {

constexpr int kMaxBus = 3;
constexpr uint16_t kNoBus = 0xFFFF;

void PrintCapabilities(const AdapterCapabilities& c)
{
    std::cout << StringPrintf("Length %lu\n", static_cast<unsigned long>(c.length))
              << StringPrintf("Max transfer length=%lx\n", static_cast<unsigned long>(c.maximumTransferLength))
              << StringPrintf("Max physical pages=%lx\n", static_cast<unsigned long>(c.maximumPhysicalPages))
              << StringPrintf("Supported Async Events=%lx\n", static_cast<unsigned long>(c.supportedAsynchronousEvents))
              << StringPrintf("Alignment mask=%lx, ", static_cast<unsigned long>(c.alignmentMask))
              << StringPrintf("Tagged queuing=%x\n", static_cast<unsigned>(c.taggedQueuing))
              << StringPrintf("Adapter scans down=%x, ", static_cast<unsigned>(c.adapterScansDown))
              << StringPrintf("Adapter uses pio=%x\n", static_cast<unsigned>(c.adapterUsesPio));
    std::cout.flush();
}

DriveIdentity IdentityFor(const DeviceCatalog& catalog, uint32_t driveNumber, DeviceEntry* entry)
{
    DriveIdentity identity;
    identity.driveNumber = driveNumber;
    identity.pathPrefix = catalog.PathPrefix();
    identity.pathStem = catalog.PathStem();
    identity.entry = entry;
    return identity;
}

}  // namespace

void PrintSystemError(int errorCode)
{
    char buffer[80] = {};
    const char* text = strerror_r(errorCode, buffer, sizeof buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) {
        std::cout << StringPrintf("Format message failed.  Error: %d\n", errorCode);
    } else {
        std::cout << StringPrintf("%s\n", text);
    }
    std::cout.flush();
}

uint8_t WalkInquiryData(const uint8_t* buffer, size_t size, uint32_t position, uint8_t* bus, uint8_t* targetId)
{
    const AdapterList list = ParseAdapterInquiryData(buffer, size);
    std::string out = StringPrintf("Number of buses %x\n", static_cast<unsigned>(list.numberOfBuses));
    out += "Bus\n";
    out += "Num TID LUN Claimed String                       Inquiry Header\n";
    out += "--- --- --- ------- ---------------------------- -----------------------\n";

    const AdapterListDevice* chosen = nullptr;
    uint32_t count = 0;
    for (const auto& device : list.devices) {
        char identification[29] = {};
        for (size_t i = 0; i < 28 && 8 + i < device.inquiry.size(); ++i)
            identification[i] = static_cast<char>(device.inquiry[8 + i]);
        out += StringPrintf(" %d   %d  %3d    %s    %.28s ", device.busIndex, device.targetId, device.lun,
                            device.claimed ? "Y" : "N", identification);
        for (size_t i = 0; i < 8; ++i)
            out += StringPrintf("%02X ", i < device.inquiry.size() ? device.inquiry[i] : 0u);
        out += "\n";
        *bus = device.busIndex;
        *targetId = device.targetId;
        chosen = &device;
        if (count == position) break;
        ++count;
    }
    out += "\n\n";
    std::cout << out;
    std::cout.flush();
    if (chosen == nullptr || chosen->inquiry.size() <= 4) return 0;
    return chosen->inquiry[4];
}

bool ProbeDrive(const DeviceCatalog& catalog, uint32_t driveNumber, uint32_t position, DeviceHandle* handle,
                uint8_t* bus, uint8_t* targetId)
{
    ScsiDevice& device = **handle;
    std::vector<uint8_t> list;
    int errorCode = 0;
    if (!device.QueryAdapterInquiryData(list, errorCode)) {
        std::cout << StringPrintf("IOCTL_SCSI_GET_INQUIRY_DATA returned error %d\n", errorCode);
        PrintSystemError(errorCode);
        return false;
    }
    if (list.size() > kAdapterListBufferSize) list.resize(kAdapterListBufferSize);
    ReportHexDump("results of IOCTL_SCSI_GET_INQUIRY_DATA", list.data(), static_cast<uint16_t>(list.size()));
    if (WalkInquiryData(list.data(), list.size(), position, bus, targetId) == 0) return false;

    // Where the platform knows the device's own address, it beats the
    // position in the adapter's list.
    ScsiAddress address;
    if (device.QueryAddress(address)) {
        *bus = static_cast<uint8_t>(std::min(address.bus, 255));
        *targetId = static_cast<uint8_t>(address.targetId);
    }

    DeviceEntry scratch;
    DriveIdentity identity = IdentityFor(catalog, driveNumber, &scratch);
    if (ReadDriveIdentity(identity, handle, 1) != kIdentityOk) return false;

    AdapterCapabilities capabilities;
    if (!device.QueryCapabilities(capabilities, errorCode)) {
        std::cout << StringPrintf("Error in io control; error was %d\n", errorCode);
        PrintSystemError(errorCode);
        return false;
    }
    PrintCapabilities(capabilities);
    return true;
}

namespace {

// The scan over the listed drives that `wanted` takes; the others are not
// even opened, yet every drive keeps its place among the listed ones.
template <typename Wanted>
int Scan(DeviceCatalog& catalog, Wanted wanted)
{
    uint16_t lastBus = kNoBus;
    size_t nextSlot = 0;

    // The drives the system lists, gaps and all: a removed device must not
    // hide the ones numbered after it.
    const std::vector<uint32_t> driveNumbers = catalog.DriveNumbers();
    for (uint32_t position = 0; position < driveNumbers.size(); ++position) {
        const uint32_t driveNumber = driveNumbers[position];
        if (!wanted(driveNumber)) continue;
        DriveIdentity pathIdentity = IdentityFor(catalog, driveNumber, nullptr);
        char path[64];
        const int length = FormatDevicePath(pathIdentity, path, sizeof path);
        if (length < 0 || length > kMaxDevicePath) {
            std::clog << "Device name length(" << length << ") error" << std::endl;
            return kScanPathTooLong;
        }

        // A listed drive that cannot be opened (gone since, or not ours to
        // use) is skipped like any other drive that does not qualify.
        int errorCode = 0;
        DeviceHandle handle = catalog.Open(path, errorCode);
        if (!handle) continue;

        uint8_t bus = 0;
        uint8_t targetId = 0;
        if (!ProbeDrive(catalog, driveNumber, position, &handle, &bus, &targetId)) continue;
        if (bus > kMaxBus) return kScanEnded;
        if (nextSlot >= g_devices.size()) return kScanEnded;

        if (bus != lastBus) {
            lastBus = bus;
            if (!g_controllers[bus]) {
                auto controller = std::make_unique<DeviceEntry>();
                controller->targetId = kControllerTargetId;
                controller->bus = bus;
                controller->isController = true;
                g_controllers[bus] = std::move(controller);
            }
        }

        auto entry = std::make_unique<DeviceEntry>();
        entry->targetId = targetId;
        entry->bus = bus;
        entry->path = path;
        DriveIdentity identity = IdentityFor(catalog, driveNumber, entry.get());
        if (ReadDriveIdentity(identity, &handle, 1) != kIdentityOk) continue;

        ReadDriveCapacity(identity, &handle, 0, 0, 2);
        entry->lastLba = identity.lastLba;
        entry->blockLength = static_cast<uint16_t>(identity.blockLength);
        entry->handle = handle;
        g_devices[nextSlot++] = std::move(entry);
    }
    return kScanEnded;
}

}  // namespace

int ScanScsiDevices(DeviceCatalog& catalog)
{
    return Scan(catalog, [](uint32_t) { return true; });
}

int ScanDrives(DeviceCatalog& catalog, const std::vector<uint32_t>& driveNumbers)
{
    return Scan(catalog, [&](uint32_t number) {
        return std::find(driveNumbers.begin(), driveNumbers.end(), number) != driveNumbers.end();
    });
}
