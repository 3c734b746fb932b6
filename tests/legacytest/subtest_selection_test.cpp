#include <gtest/gtest.h>

#include <map>

#include "legacytest/subtest_selection.h"
#include "support/case_file.h"

namespace {

TEST(SubtestSelectionTest, PresetsAndListsRunWhatTheyName)
{
    const std::map<std::string, SubtestSelection> presets{
        {"quick", QuickSelection()}, {"long", LongSelection()}, {"custom", CustomSelectionAtStart()}};
    for (const CaseLine& c : ReadCaseFile("legacy/subtest_lists.txt")) {
        SCOPED_TRACE(CaseTrace("legacy/subtest_lists.txt", c));
        SubtestSelection selection = QuickSelection();
        std::string error;
        if (presets.contains(c[0])) {
            selection = presets.at(c[0]);
        } else if (!ParseSubtestList(c[0], selection, error)) {
            EXPECT_EQ(error, c[1]);
            EXPECT_EQ(selection, QuickSelection());
            continue;
        }
        std::string runs;
        for (int i = 0; i < kSubtestCount; ++i)
            if (selection.Runs(i)) runs += (runs.empty() ? "" : " ") + std::to_string(i);
        EXPECT_EQ(runs, c[1]);
    }
}

}  // namespace
