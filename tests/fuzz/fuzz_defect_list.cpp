// Defect lists and the vendor attribute page come from drives: their walks
// must stay inside the bytes whatever the lengths inside claim.
#include <cstddef>
#include <cstdint>
#include <span>

#include "legacytest/attribute_warnings.h"
#include "legacytest/defect_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    volatile size_t sink = 0;
    for (const PhysicalDefect& defect : DecodePhysicalDefectList(bytes)) sink = sink + defect.cylinder + defect.sector;
    sink = sink + ScanAttributeWarnings(bytes).size();
    (void)sink;
    return 0;
}
