#include <cstddef>
#include <cstdint>

#include "scsi/inquiry_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    volatile uint32_t sink = DecodeReadCapacity10(data, size).lastLba;
    volatile uint64_t sink16 = DecodeReadCapacity16(data, size).lastLba;
    (void)sink;
    (void)sink16;
    return 0;
}
