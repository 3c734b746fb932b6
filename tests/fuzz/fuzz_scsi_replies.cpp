// Identity, capacity and sense bytes as a drive returned them, and the
// adapter's list of devices: every decoder stays inside the bytes given,
// whatever the lengths inside claim.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "drives/scan.h"
#include "platform/adapter_list.h"
#include "scsi/inquiry_data.h"
#include "scsi/sense.h"
#include "support/stream_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const StandardInquiry inquiry = DecodeStandardInquiry(data, size);
    // Every text field is terminated whatever the reply held.
    volatile size_t sink = __builtin_strlen(inquiry.vendorId) + __builtin_strlen(inquiry.productId) +
                           __builtin_strlen(inquiry.revision) + __builtin_strlen(inquiry.serialNumber);
    // A serial never holds more than the unit serial number page carries.
    const auto serial = DecodeUnitSerialNumberPage(data, size);
    if (serial && serial->size() + 4 > size) __builtin_trap();
    sink = sink + HasInquirySerialNumber(data, size);
    // No name longer than the device identification page.
    for (const std::string& name : DecodeLogicalUnitNames(data, size))
        if (name.size() > 2 * size + 4) __builtin_trap();
    sink = sink + DecodeReadCapacity10(data, size).lastLba + DecodeReadCapacity16(data, size).lastLba;
    (void)sink;

    // The transport converts whatever the drive sent into a fixed-size area.
    std::vector<uint8_t> sense(data, data + size);
    const size_t capacity = size == 0 ? 0 : 1 + data[0] % size;
    const size_t length = ConvertSenseToFixed(sense.data(), size, capacity);
    if (length > size && length > capacity) __builtin_trap();
    ReadSenseCodes(sense.data(), length);

    ParseAdapterInquiryData(data, size);
    // The discovery walk prints and chooses from the same reply.
    const StreamCapture quiet;
    uint8_t bus = 0;
    uint8_t target = 0;
    WalkInquiryData(data, size, size % 7, &bus, &target);
    return 0;
}
