// What a MODE SENSE reply becomes before it goes back in MODE SELECT: cases
// in tests/data/scsi/mode_select_lists.txt.
#include <gtest/gtest.h>

#include "scsi/mode_select_list.h"
#include "support/case_file.h"

TEST(ModeSelectList, ReservedFieldsAreCleared)
{
    const auto cases = ReadCaseFile("scsi/mode_select_lists.txt");
    ASSERT_EQ(cases.size(), 3u);
    for (const CaseLine& c : cases) {
        std::vector<uint8_t> list = ParseHexText(c[0]);
        PrepareModeSelectList(list.data(), list.size());
        EXPECT_EQ(list, ParseHexText(c[1])) << CaseTrace("mode_select_lists.txt", c);
    }
}
