#include "platform/adapter_list.h"

#include "scsi/byte_order.h"

#include <algorithm>
#include <set>

namespace {

// Entries sit on 4-byte boundaries.
size_t AlignUp(size_t value) { return (value + 3) & ~static_cast<size_t>(3); }

}  // namespace

std::vector<uint8_t> BuildAdapterInquiryData(uint8_t numberOfBuses, const std::vector<AdapterListDevice>& devices,
                                             size_t limit)
{
    const size_t header = kAdapterBusInfoHeader + kAdapterBusDataSize * numberOfBuses;
    std::vector<uint8_t> buffer(std::max(header, static_cast<size_t>(kAdapterBusInfoHeader)), 0);
    if (buffer.size() > limit) return std::vector<uint8_t>(std::min(limit, buffer.size()), 0);
    buffer[0] = numberOfBuses;

    for (uint8_t bus = 0; bus < numberOfBuses; ++bus) {
        const size_t busData = kAdapterBusInfoHeader + kAdapterBusDataSize * bus;
        size_t previousEntry = 0;
        uint8_t count = 0;
        for (const auto& device : devices) {
            if (device.pathId != bus) continue;
            const size_t offset = AlignUp(buffer.size());
            const size_t end = offset + kAdapterInquiryHeader + device.inquiry.size();
            if (end > limit) break;
            buffer.resize(end, 0);
            buffer[offset + 0] = device.pathId;
            buffer[offset + 1] = device.targetId;
            buffer[offset + 2] = device.lun;
            buffer[offset + 3] = device.claimed ? 1 : 0;
            StoreLe32(buffer.data() + offset + 4, static_cast<uint32_t>(device.inquiry.size()));
            StoreLe32(buffer.data() + offset + 8, 0);
            std::copy(device.inquiry.begin(), device.inquiry.end(),
                      buffer.begin() + static_cast<long>(offset + kAdapterInquiryHeader));
            if (previousEntry == 0)
                StoreLe32(buffer.data() + busData + 4, static_cast<uint32_t>(offset));
            else
                StoreLe32(buffer.data() + previousEntry + 8, static_cast<uint32_t>(offset));
            previousEntry = offset;
            ++count;
        }
        buffer[busData] = count;
    }
    return buffer;
}

AdapterList ParseAdapterInquiryData(const uint8_t* data, size_t size)
{
    AdapterList list;
    if (data == nullptr || size < 1) return list;
    list.numberOfBuses = data[0];
    for (size_t bus = 0; bus < list.numberOfBuses; ++bus) {
        const size_t busData = kAdapterBusInfoHeader + kAdapterBusDataSize * bus;
        if (busData + kAdapterBusDataSize > size) break;
        size_t offset = LoadLe32(data + busData + 4);
        std::set<size_t> seen;  // a reply whose next offsets loop ends the bus
        while (offset != 0 && offset + kAdapterInquiryHeader <= size && seen.insert(offset).second) {
            const uint8_t* entry = data + offset;
            AdapterListDevice device;
            device.busIndex = static_cast<uint8_t>(bus);
            device.pathId = entry[0];
            device.targetId = entry[1];
            device.lun = entry[2];
            device.claimed = entry[3] != 0;
            const size_t length = LoadLe32(entry + 4);
            const size_t available = size - offset - kAdapterInquiryHeader;
            const size_t copied = std::min(length, available);
            device.inquiry.assign(entry + kAdapterInquiryHeader, entry + kAdapterInquiryHeader + copied);
            list.devices.push_back(std::move(device));
            offset = LoadLe32(entry + 8);
        }
    }
    return list;
}
