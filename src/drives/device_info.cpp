#include "drives/device_info.h"

#include <string>
#include <string_view>

#include "drives/device_entry.h"

namespace {

// INQUIRY pads its text fields with blanks.
std::string_view Trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

DeviceInfoValues ReadDeviceInfoValues(const DeviceEntry& entry)
{
    DeviceInfoValues values;
    values.texts = {
        {1001, "Serial Number:", entry.serialNumber},
        {1002, "Vendor ID:", entry.isMakerDrive == 1 ? kMakerVendorName : kOtherVendorName},
        {1004, "Product ID:", entry.productId},
        {1005, "Revision Level:", entry.revision},
        {1006, "Capacity:", std::to_string(entry.lastLba)},
        {1007, "Block Size:", std::to_string(entry.blockLength)},
        {1020, "SCSI Id:", std::to_string(entry.targetId)},
        {1019, "Host Bus #:", std::to_string(entry.bus)},
    };
    values.flags = {
        {1003, "32 Bit Wide Addresses", "wide_addresses_32_bit", entry.ADDR32 != 0},
        {1008, "16 Bit Wide Addresses", "wide_addresses_16_bit", entry.ADDR16 != 0},
        {1009, "Relative Addressing", "relative_addressing", entry.RelAdr != 0},
        {1010, "32 Bit Wide Data", "wide_data_32_bit", entry.WBus32 != 0},
        {1011, "16 Bit Wide Data", "wide_data_16_bit", entry.WBus16 != 0},
        {1012, "Syncronous Transfer", "synchronous_transfer", entry.Sync != 0},
        {1013, "Linked Commands", "linked_commands", entry.Linked != 0},
        {1014, "Transfer Disable BIt", "transfer_disable", entry.TranDis != 0},
        {1015, "Tagged Comand Queuing", "tagged_command_queuing", entry.CmdQue != 0},
        {1016, "Soft RESET Bit", "soft_reset", entry.SftRe != 0},
        {1017, "AENC Bit", "asynchronous_event_notification", entry.AERC != 0},
        {1018, "terminate I/O process (TRMIOP) bit", "terminate_io_process", entry.TrmIOP != 0},
    };
    values.path = entry.path;
    values.selected = entry.selected;
    return values;
}

std::string DriveTitle(const DeviceEntry& entry)
{
    std::string title = entry.path + ":";
    for (const char* field : {entry.vendorId, entry.productId}) {
        const std::string_view text = Trimmed(field);
        if (!text.empty()) title.append(" ").append(text);
    }
    const std::string_view serial = Trimmed(entry.serialNumber);
    if (!serial.empty()) title.append(", serial ").append(serial);
    return title;
}
