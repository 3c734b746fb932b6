#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "smart/smart_parameters.h"

// A log page as a drive returned it: the supported-pages scan, the status
// page and the attribute parameter walk must stay inside the bytes given
// and fill every field of every tab they add.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> page(data, size);
    volatile bool listed = ScanSupportedLogPages(page).attributePage;
    (void)listed;

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
    return 0;
}
