#include <cstddef>
#include <cstdint>
#include <string>

#include "scsi/inquiry_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const StandardInquiry inquiry = DecodeStandardInquiry(data, size);
    // Every text field is terminated whatever the reply held.
    volatile size_t sink = __builtin_strlen(inquiry.vendorId) + __builtin_strlen(inquiry.productId) +
                           __builtin_strlen(inquiry.revision) + __builtin_strlen(inquiry.serialNumber);
    // The same bytes as a unit serial number page: a serial never holds
    // more than the page carries.
    const auto serial = DecodeUnitSerialNumberPage(data, size);
    if (serial && serial->size() + 4 > size) __builtin_trap();
    sink = sink + HasInquirySerialNumber(data, size);
    // And as a device identification page: no name longer than the page.
    for (const std::string& name : DecodeLogicalUnitNames(data, size))
        if (name.size() > 2 * size + 4) __builtin_trap();
    (void)sink;
    return 0;
}
