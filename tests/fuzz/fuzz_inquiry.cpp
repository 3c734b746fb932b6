#include <cstddef>
#include <cstdint>

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
    (void)sink;
    return 0;
}
