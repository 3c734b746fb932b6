#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "scsi/sense.h"

// The transport converts whatever the drive sent into a fixed-size area.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> sense(data, data + size);
    const size_t capacity = size == 0 ? 0 : 1 + data[0] % size;
    const size_t length = ConvertSenseToFixed(sense.data(), size, capacity);
    if (length > size && length > capacity) __builtin_trap();
    ReadSenseCodes(sense.data(), length);
    return 0;
}
