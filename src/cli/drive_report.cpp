#include "cli/drive_report.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <string>

#include "cli/cli_context.h"
#include "drives/device_entry.h"
#include "drives/device_info.h"
#include "drives/device_table.h"

namespace {

// INQUIRY text fields are blank-padded; scripts want them without.
std::string Trimmed(const char* text)
{
    std::string value(text);
    const auto end = value.find_last_not_of(' ');
    value.erase(end == std::string::npos ? 0 : end + 1);
    return value;
}

}  // namespace

Json DriveJson(const DeviceCatalog& catalog, const DeviceEntry& entry)
{
    const std::optional<uint32_t> number = DriveNumberOf(catalog, entry);
    return {
        {"path", entry.path},
        {"number", number ? Json(*number) : Json(nullptr)},
        {"bus", entry.bus},
        {"target_id", entry.targetId},
        {"vendor", Trimmed(entry.vendorId)},
        {"product", Trimmed(entry.productId)},
        {"revision", Trimmed(entry.revision)},
        {"serial", Trimmed(entry.serialNumber)},
        {"last_lba", entry.lastLba},
        {"block_length", entry.blockLength},
    };
}

size_t SerialColumnWidth()
{
    size_t longest = 8;
    for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
        longest = std::max(longest, Trimmed(entry->serialNumber).size());
    return longest + 1;
}

void PrintDriveListHeader(std::ostream& out, size_t serialWidth)
{
    const int serial = static_cast<int>(serialWidth);
    out << std::left << std::setw(24) << "Drive" << std::setw(4) << "Bus" << std::setw(4) << "ID" << std::setw(9)
        << "Vendor" << std::setw(17) << "Product" << std::setw(5) << "Rev" << std::setw(serial) << "Serial"
        << std::right << std::setw(11) << "Last LBA" << std::setw(7) << "Block" << '\n';
}

void PrintDriveListRow(std::ostream& out, const DeviceEntry& entry, size_t serialWidth)
{
    const int serial = static_cast<int>(serialWidth);
    out << std::left << std::setw(24) << entry.path << std::setw(4) << static_cast<int>(entry.bus) << std::setw(4)
        << static_cast<int>(entry.targetId) << std::setw(9) << Trimmed(entry.vendorId) << std::setw(17)
        << Trimmed(entry.productId) << std::setw(5) << Trimmed(entry.revision) << std::setw(serial)
        << Trimmed(entry.serialNumber) << std::right << std::setw(11) << entry.lastLba << std::setw(7)
        << entry.blockLength << '\n';
}

Json DeviceInfoJson(const DeviceCatalog& catalog, const DeviceEntry& entry)
{
    Json capabilities = Json::object();
    for (const auto& flag : ReadDeviceInfoValues(entry).flags) capabilities[flag.key] = flag.value;
    return {{"drive", DriveJson(catalog, entry)},
            {"maker_drive", entry.isMakerDrive == 1},
            {"capabilities", capabilities}};
}

void PrintDeviceInfo(std::ostream& out, const DeviceEntry& entry)
{
    const DeviceInfoValues values = ReadDeviceInfoValues(entry);
    out << std::left << std::setw(36) << "Device:" << values.path << '\n';
    for (const auto& text : values.texts) out << std::setw(36) << text.label << text.value << '\n';
    for (const auto& flag : values.flags) out << std::setw(36) << flag.label << (flag.value ? "yes" : "no") << '\n';
    out << std::setw(36) << "Selected for Test" << (values.selected ? "yes" : "no") << '\n' << std::right;
}
