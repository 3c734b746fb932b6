#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scsi/tagged_output.h"

namespace {

class Collected final : public OutputWindow {
public:
    void Append(std::string_view text) override { appends.emplace_back(text); }
    std::vector<std::string> appends;
};

struct TagCase {
    const char* name;
    std::vector<std::string> pieces;
    std::vector<std::string> lines;  // each reaches the stream in one piece
};

class TaggedOutputTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TaggedOutputTest, EveryLineGoesOnWholeAfterItsTag)
{
    Collected stream;
    {
        TaggedOutput output(stream, "sg1");
        for (const std::string& piece : GetParam().pieces) output.Append(piece);
    }
    EXPECT_EQ(stream.appends, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, TaggedOutputTest,
    ::testing::Values(
        TagCase{"ReportLine", {"Begin RAM test", "\r\n"}, {"sg1: Begin RAM test\r\n"}},
        TagCase{"ReportBlock", {"\r\nRead/Write Buffer Test Failure\r\n"}, {"sg1: \r\n", "sg1: Read/Write Buffer Test Failure\r\n"}},
        TagCase{"PlainLineEnds", {"one\ntwo\n"}, {"sg1: one\n", "sg1: two\n"}},
        TagCase{"UnfinishedLastLine", {"SMART TRIP"}, {"sg1: SMART TRIP\r\n"}}),
    [](const ::testing::TestParamInfo<TagCase>& info) { return std::string(info.param.name); });

}  // namespace
