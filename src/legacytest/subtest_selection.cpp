#include "legacytest/subtest_selection.h"

#include <charconv>

namespace {

constexpr SubtestInfo kSubtests[kSubtestCount] = {
    {1024, "Drive Ready Test"},
    {1025, "RAM Test"},
    {1026, "Low Level Format Check"},
    {1027, "Drive Diagnostics"},
    {1028, "SMART Check"},
    {1029, "Physical Heads Check"},
    {1030, "Error Log Pages"},
    {1031, "Rnd Verify 1000 to 4000 blocks"},
    {1032, "Sequential Verify First 300MB"},
    {1033, "Sequential Verify Last 100MB"},
    {1034, "Verify Sect Adj to P & G List"},
    {1036, "Scan of Entire Drive"},
    {1037, "Re-check Error Log Pages"},
    {1038, "Recheck SMART"},
};

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::span<const SubtestInfo, kSubtestCount> Subtests() { return std::span<const SubtestInfo, kSubtestCount>(kSubtests); }

SubtestSelection LongSelection()
{
    SubtestSelection selection;
    selection.run.fill(1);
    return selection;
}

SubtestSelection QuickSelection()
{
    SubtestSelection selection = LongSelection();
    selection.run[kSubtestEntireScan] = 0;
    return selection;
}

SubtestSelection CustomSelectionAtStart()
{
    SubtestSelection selection;
    for (int index : {kSubtestDriveReady, kSubtestRam, kSubtestFormatCheck, kSubtestDiagnostics, kSubtestEntireScan})
        selection.run[static_cast<size_t>(index)] = 1;
    return selection;
}

bool ParseSubtestList(std::string_view text, SubtestSelection& selection, std::string& error)
{
    SubtestSelection parsed;
    bool any = false;
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        int index = -1;
        const auto [end, code] = std::from_chars(item.data(), item.data() + item.size(), index);
        if (item.empty() || code != std::errc() || end != item.data() + item.size() || index < 0 ||
            index >= kSubtestCount) {
            error = "\"" + std::string(item) + "\" is not a subtest number from 0 to " +
                    std::to_string(kSubtestCount - 1);
            return false;
        }
        if (parsed.run[static_cast<size_t>(index)] != 0) {
            error = "subtest " + std::to_string(index) + " is named twice";
            return false;
        }
        parsed.run[static_cast<size_t>(index)] = 1;
        any = true;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (!any) {
        error = "no subtest named";
        return false;
    }
    selection = parsed;
    return true;
}
