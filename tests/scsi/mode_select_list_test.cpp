// What a MODE SENSE reply becomes before it goes back in MODE SELECT.
#include <gtest/gtest.h>

#include "scsi/mode_select_list.h"
#include "sim/sim_test_support.h"

namespace {

struct ListCase {
    const char* what;
    const char* reply;  // as MODE SENSE(6) returned it
    const char* sent;   // what MODE SELECT(6) carries
};

const ListCase kCases[] = {
    {"header and PS of one page", "13 00 90 00  88 12 04 00 FF FF 00 00 FF FF FF FF 00 10 00 00 00 00 00 00",
     "00 00 00 00  08 12 04 00 FF FF 00 00 FF FF FF FF 00 10 00 00 00 00 00 00"},
    {"PS of every page, after a block descriptor, a subpage among them",
     "1F 00 10 08  00 00 03 E8 00 00 02 00  9C 02 08 06  DC 01 00 02 AA BB  81 02 C0 14",
     "00 00 00 08  00 00 03 E8 00 00 02 00  1C 02 08 06  5C 01 00 02 AA BB  01 02 C0 14"},
    {"a page cut short by the list's end", "07 00 00 00  88 12 04 00", "00 00 00 00  08 12 04 00"},
};

class ModeSelectList : public ::testing::TestWithParam<ListCase> {};

}  // namespace

TEST_P(ModeSelectList, ReservedFieldsAreCleared)
{
    std::vector<uint8_t> list = simtest::Hex(GetParam().reply);
    PrepareModeSelectList(list.data(), list.size());
    EXPECT_EQ(list, simtest::Hex(GetParam().sent)) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Lists, ModeSelectList, ::testing::ValuesIn(kCases));
