#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>

#include "drives/scan.h"
#include "platform/adapter_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParseAdapterInquiryData(data, size);
    // The discovery walk prints and chooses from the same reply.
    std::ostringstream sink;
    std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
    uint8_t bus = 0;
    uint8_t target = 0;
    WalkInquiryData(data, size, size % 7, &bus, &target);
    std::cout.rdbuf(saved);
    return 0;
}
