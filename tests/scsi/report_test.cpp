#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scsi/output_window.h"
#include "scsi/report.h"
#include "scsi/tagged_output.h"
#include "support/stream_capture.h"

namespace {

class RecordingWindow : public OutputWindow {
public:
    void Append(std::string_view text) override
    {
        appends.emplace_back(text);
        all += text;
    }
    std::vector<std::string> appends;
    std::string all;
};

class ReportTest : public ::testing::Test {
protected:
    void TearDown() override { g_bLogToClog = false; }
    RecordingWindow window;
};

TEST_F(ReportTest, LinesAndBlocksReachTheWindowAndCout)
{
    StreamCapture capture;
    ReportLine(&window, "Drive Vendor Id...........", "MORVANE ");
    ReportLine(&window, "alone");
    ReportLine(&window, "empty", "");
    EXPECT_EQ(window.all, "Drive Vendor Id...........MORVANE \r\nalone\r\nempty\r\n");
    EXPECT_EQ(capture.Out(), "Drive Vendor Id...........MORVANE \nalone\nempty\n");
    EXPECT_EQ(capture.Log(), "") << "clog stays quiet while the switch is off";

    // A block is framed in line breaks.
    window = {};
    StreamCapture block;
    ReportBlock(&window, "");
    ReportBlock(&window, "Test");
    EXPECT_EQ(window.appends, (std::vector<std::string>{"\r\n\r\n", "\r\nTest\r\n"}));
    EXPECT_EQ(block.Out(), "\r\n\r\n\n\r\nTest\r\n\n");
}

TEST_F(ReportTest, HexGoesToTheWindowOrElseToTheConsoleAndValuesToBoth)
{
    StreamCapture capture;
    ReportHex(&window, "Sense Key = ", 5);
    EXPECT_EQ(window.all, "Sense Key =   5\r\n");
    EXPECT_EQ(capture.Out(), "");

    ReportHex(nullptr, "Sense Key = ", 26);
    EXPECT_EQ(capture.Out(), "Sense Key =   1a\r\n");

    // A value shows hex and decimal, and reaches cout always.
    window = {};
    StreamCapture value;
    ReportValue(&window, "Block length", 4096);
    EXPECT_EQ(window.all, "Block length  1000 4096.\r\n");
    EXPECT_EQ(value.Out(), "Block length  1000 4096.\r\n");
}

TEST_F(ReportTest, HexDumpLinesAndPartialLastLine)
{
    std::vector<uint8_t> data(20);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>('A' + i);
    data[1] = 0x00;
    data[2] = 0xFF;
    StreamCapture capture;
    ReportHexDump("inquiry data", data.data(), static_cast<uint16_t>(data.size()));
    EXPECT_EQ(capture.Out(),
              "inquiry data\n"
              "Data Length=20 or 14h\n"
              "   0   16 41 00 ff 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 A..DEFGHIJKLMNOP\n"
              "  16   20 51 52 53 54 QRST\n");
    EXPECT_EQ(capture.Err(), "");

    StreamCapture empty;
    ReportHexDump("none", data.data(), 0);
    EXPECT_EQ(empty.Out(), "none\nData Length=0 or 0h\n");
}

TEST_F(ReportTest, StringDumpOfALongStringDoesNotOverflow)
{
    const std::string text(500, 'x');
    StreamCapture capture;
    ReportStringDump(text.c_str());
    const std::string out = capture.Out();
    EXPECT_EQ(out.substr(0, 501), text + "\n");
    // The copy keeps 199 characters and its terminator.
    EXPECT_NE(out.find("78 78 78 78 78 78 78 0 \n"), std::string::npos);
}

// Output of parallel runs: each line whole, behind its drive's tag.
struct TagCase {
    const char* name;
    std::vector<std::string> pieces;
    std::vector<std::string> lines;  // each reaches the stream in one piece
};

class TaggedOutputTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TaggedOutputTest, EveryLineGoesOnWholeAfterItsTag)
{
    RecordingWindow stream;
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
        TagCase{"ReportBlock", {"\r\nRead/Write Buffer Test Failure\r\n"},
                {"sg1: \r\n", "sg1: Read/Write Buffer Test Failure\r\n"}},
        TagCase{"PlainLineEnds", {"one\ntwo\n"}, {"sg1: one\n", "sg1: two\n"}},
        TagCase{"UnfinishedLastLine", {"SMART TRIP"}, {"sg1: SMART TRIP\r\n"}}),
    [](const ::testing::TestParamInfo<TagCase>& info) { return std::string(info.param.name); });

}  // namespace
