// The test sequence on one bench drive, scenario by scenario, from
// tests/data/legacy/scenarios.txt. A scenario opens with "== Name" (a C++
// name); its other lines, each optional:
//   drive FIELDS        bench fields of the drive, after "blocks"
//   blocks N            the drive's size in blocks (1001)
//   run N,N,..|quick|long   the subtests (parsed as the command line does)
//   step N              seconds the clock moves at every reading
//   escape A[-B] ...    the keyboard polls (from 1) that find Escape
//   mrie 0              the drive set to report no exception before the run
//   result N            what the sequence returns (0)
//   > TEXT              the whole report, line by line
//   ~ TEXT              a line of the report ("\n" inside joins lines)
//   ! TEXT              text the report does not hold
//   count N TEXT        TEXT is in the report N times
//   sent XX N           N commands of opcode XX went to the drive
//   cdb HEX             a command of exactly these CDB bytes went
//   lbas XX LBA+N ...   the 10-byte commands of opcode XX, in order
//   failure SUBTEST LBA BLOCKS FAILING|-   the run's one read failure
//   every block read once | page kept | stored N | slept MS | ended N
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "legacy_bench_fixture.h"
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"
#include "support/case_file.h"
#include "support/hex_fixture.h"
#include "support/sim_mode_page.h"

namespace {

using Scenario = CaseBlock;

// The report's line end.
std::string Unescape(const std::string& text) { return Unescaped(text, "\r\n"); }

class ScenarioTest : public LegacyBenchTest, public ::testing::WithParamInterface<Scenario> {
protected:
    // The first word of a line, and the rest after one blank.
    static std::pair<std::string, std::string> Split(const std::string& line)
    {
        const size_t blank = line.find(' ');
        return {line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1)};
    }
    std::string Field(const std::string& key, const std::string& otherwise = "") const
    {
        for (const std::string& line : GetParam().lines)
            if (Split(line).first == key) return Split(line).second;
        return otherwise;
    }
};

TEST_P(ScenarioTest, ReportAndCommandsAreAsWritten)
{
    Start(OneDrive(Field("drive"), std::stoull(Field("blocks", "1001"))));
    SimDisk& disk = *Sim().Disk(0);
    if (Field("mrie") == "0") {
        std::vector<uint8_t> page = simpage::Current(disk, 0x1C);
        page[3] = 0;
        simpage::Select(disk, page);  // unless a fault of the scenario refuses it
    }
    const std::vector<uint8_t> pageBefore = simpage::Current(disk, 0x1C);
    auto& tap = Tap(Entry(0));
    const std::string run = Field("run");
    SubtestSelection selection = run == "quick" ? QuickSelection() : LongSelection();
    std::string error;
    if (run != "quick" && run != "long") {
        ASSERT_TRUE(ParseSubtestList(run, selection, error)) << error;
    }
    clock.step = std::stoll(Field("step", "0"));
    std::istringstream escapes(Field("escape"));
    for (std::string range; escapes >> range;) {
        const int first = std::stoi(range);
        const size_t dash = range.find('-');
        for (int poll = first; poll <= (dash == std::string::npos ? first : std::stoi(range.substr(dash + 1))); ++poll)
            keyboard.escapeAt.push_back(poll);
    }

    EXPECT_EQ(Run(selection, Entry(0)), std::stoi(Field("result", "0")));
    EXPECT_EQ(g_bNoAbort.load(), 0);
    std::string report;
    bool whole = false;
    for (const std::string& line : GetParam().lines) {
        SCOPED_TRACE(line);
        const auto [key, rest] = Split(line);
        if (key == ">") {
            whole = true;
            report += rest + "\r\n";
        } else if (key == "~") {
            EXPECT_TRUE(output.Contains(Unescape(rest) + "\r\n")) << output.Text();
        } else if (key == "!") {
            EXPECT_FALSE(output.Contains(Unescape(rest)));
        } else if (key == "count") {
            const auto [count, text] = Split(rest);
            EXPECT_EQ(output.Count(Unescape(text)), std::stoul(count));
        } else if (key == "sent") {
            const auto [opcode, count] = Split(rest);
            EXPECT_EQ(tap.WithOpcode(static_cast<uint8_t>(std::stoul(opcode, nullptr, 16))).size(), std::stoul(count));
        } else if (key == "cdb") {
            const std::vector<uint8_t> cdb = ParseHexText(rest);
            const auto commands = tap.Commands();
            EXPECT_TRUE(std::any_of(commands.begin(), commands.end(), [&](const auto& c) { return c.cdb == cdb; }));
        } else if (key == "lbas") {
            std::istringstream words(rest);
            std::string opcode;
            words >> opcode;
            std::vector<std::string> expected, sent;
            for (std::string word; words >> word;) expected.push_back(word);
            for (const auto& command : tap.WithOpcode(static_cast<uint8_t>(std::stoul(opcode, nullptr, 16))))
                sent.push_back(std::to_string(LoadBe32(command.cdb.data() + 2)) + "+" +
                               std::to_string(LoadBe16(command.cdb.data() + 7)));
            EXPECT_EQ(sent, expected);
        } else if (key == "failure") {
            ASSERT_EQ(outcome.readFailures.size(), 1u);
            const ReadFailure& f = outcome.readFailures[0];
            EXPECT_EQ(std::to_string(f.subtest) + " " + std::to_string(f.lba) + " " + std::to_string(f.blocks) + " " +
                          (f.failingLba ? std::to_string(*f.failingLba) : "-"),
                      rest);
        } else if (line == "every block read once") {
            std::vector<uint8_t> seen(std::stoull(Field("blocks", "1001")), 0);
            for (const auto& read : tap.WithOpcode(0x28)) {
                const uint32_t lba = LoadBe32(read.cdb.data() + 2);
                for (uint32_t block = lba; block < lba + LoadBe16(read.cdb.data() + 7); ++block) ++seen.at(block);
            }
            EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<std::ptrdiff_t>(seen.size()));
        } else if (line == "page kept") {
            EXPECT_EQ(simpage::Current(disk, 0x1C), pageBefore);
        } else if (key == "stored") {
            EXPECT_EQ(disk.StoredBlocks(), std::stoull(rest));
        } else if (key == "slept") {
            EXPECT_EQ(clock.slept.load(), std::stoll(rest));
        } else if (key == "ended") {
            EXPECT_EQ(outcome.endedBy, std::stoi(rest));
        }
    }
    if (whole) {
        EXPECT_EQ(output.Text(), report);
    }
}

INSTANTIATE_TEST_SUITE_P(Legacy, ScenarioTest, ::testing::ValuesIn(ReadCaseBlocks("legacy/scenarios.txt", "==")),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
