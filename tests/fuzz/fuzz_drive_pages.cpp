// Pages as a drive returned them (log pages, defect lists, the vendor
// attribute page): every walk stays inside the bytes given, whatever the
// lengths inside claim, and fills every field of every tab it adds.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "legacytest/attribute_warnings.h"
#include "legacytest/defect_lists.h"
#include "smart/smart_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> page(data, size);
    volatile size_t sink = ScanSupportedLogPages(page).attributePage;

    const SmartTab status = StatusTabFromPage(page);
    if (status.values.size() != status.page->fields.size()) __builtin_trap();

    std::vector<SmartTab> tabs;
    const int relevant = WalkAttributeParameters(page, tabs);
    if (relevant < static_cast<int>(tabs.size())) __builtin_trap();
    for (const SmartTab& tab : tabs)
        if (tab.values.size() != tab.page->fields.size()) __builtin_trap();

    for (const LogParameterView& parameter : LogPageParameters(page))
        if (parameter.bytes.data() < data || parameter.bytes.data() + parameter.bytes.size() > data + size)
            __builtin_trap();

    for (const PhysicalDefect& defect : DecodePhysicalDefectList(page)) sink = sink + defect.cylinder + defect.sector;
    sink = sink + ScanAttributeWarnings(page).size();
    (void)sink;
    return 0;
}
