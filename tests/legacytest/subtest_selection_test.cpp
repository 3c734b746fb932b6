#include <gtest/gtest.h>

#include <set>

#include "legacytest/subtest_selection.h"

namespace {

std::set<int> Runs(const SubtestSelection& selection)
{
    std::set<int> indexes;
    for (int i = 0; i < kSubtestCount; ++i)
        if (selection.Runs(i)) indexes.insert(i);
    return indexes;
}

TEST(SubtestSelectionTest, PresetsRunWhatTheirCommandsPromise)
{
    EXPECT_EQ(Runs(QuickSelection()), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13}));
    EXPECT_EQ(Runs(LongSelection()), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(Runs(CustomSelectionAtStart()), (std::set<int>{0, 1, 2, 3, 11}));
}

TEST(SubtestSelectionTest, ListOfNumbersBecomesASelection)
{
    SubtestSelection selection;
    std::string error;
    ASSERT_TRUE(ParseSubtestList("0,4,11", selection, error)) << error;
    EXPECT_EQ(Runs(selection), (std::set<int>{0, 4, 11}));
    ASSERT_TRUE(ParseSubtestList(" 13 , 2", selection, error)) << error;
    EXPECT_EQ(Runs(selection), (std::set<int>{2, 13}));
}

TEST(SubtestSelectionTest, BadListsAreRefusedAndLeaveTheSelection)
{
    SubtestSelection selection = QuickSelection();
    std::string error;
    EXPECT_FALSE(ParseSubtestList("0,14", selection, error));
    EXPECT_EQ(error, "\"14\" is not a subtest number from 0 to 13");
    EXPECT_FALSE(ParseSubtestList("1,,2", selection, error));
    EXPECT_EQ(error, "\"\" is not a subtest number from 0 to 13");
    EXPECT_FALSE(ParseSubtestList("4x", selection, error));
    EXPECT_FALSE(ParseSubtestList("-1", selection, error));
    EXPECT_FALSE(ParseSubtestList("3,3", selection, error));
    EXPECT_EQ(error, "subtest 3 is named twice");
    EXPECT_EQ(selection, QuickSelection());
}

}  // namespace
