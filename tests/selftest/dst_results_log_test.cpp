// Which entry of the self-test results log is the run's own test.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <tuple>

#include "selftest/dst_results_log.h"
#include "selftest/dst_test_support.h"
#include "support/case_file.h"

using dsttest::LogEntry;
using dsttest::ResultsPage;

namespace {

std::vector<DstLogEntry> Decoded(const std::vector<LogEntry>& entries)
{
    const std::vector<uint8_t> page = ResultsPage(entries);
    return DecodeDstResultsPage(page.data()).value();
}

const LogEntry kQuickPass{.stamp = 100};
const LogEntry kQuickFail{.result = 7, .stamp = 90, .lba = 0x12345, .senseKey = 3, .asc = 0x11};

// "q100/7, a101, q100 x3, q100-98" as entries.
std::vector<LogEntry> Entries(const std::string& text)
{
    std::vector<LogEntry> entries;
    std::istringstream words(text);
    for (std::string word; std::getline(words, word, ',');) {
        std::istringstream parts(word);
        std::string entry, times;
        if (!(parts >> entry)) continue;
        parts >> times;
        const size_t result = entry.find('/');
        const size_t down = entry.find('-');
        const int first = std::stoi(entry.substr(1));
        const int last = down == std::string::npos ? first : std::stoi(entry.substr(down + 1));
        LogEntry one{.code = static_cast<uint8_t>(entry[0] == 'a' ? 2 : 1)};
        if (result != std::string::npos) one.result = static_cast<uint8_t>(std::stoi(entry.substr(result + 1)));
        for (int stamp = first; stamp >= last; --stamp) {
            one.stamp = static_cast<uint16_t>(stamp);
            entries.insert(entries.end(), times.empty() ? 1 : std::stoul(times.substr(1)), one);
        }
    }
    return entries;
}

}  // namespace

TEST(DstResultsLog, FindsOnlyTheRunsOwnEntry)
{
    const std::map<std::string, DstRunEntryState> states{{"None", DstRunEntryState::None},
                                                         {"InProgress", DstRunEntryState::InProgress},
                                                         {"Ended", DstRunEntryState::Ended}};
    for (const CaseLine& c : ReadCaseFile("selftest/run_entries.txt")) {
        SCOPED_TRACE(CaseTrace("run_entries.txt", c) + " " + c[0]);
        DstRunMark mark = MarkDstRun(Decoded(Entries(c[1])), static_cast<uint8_t>(std::stoul(c[3], nullptr, 16)));
        mark.seenRunning = c[4] == "yes";
        EXPECT_EQ(FindDstRunEntry(Decoded(Entries(c[2])), mark), states.at(c[5]));
    }
}

TEST(DstResultsLog, DecodesEntriesAndRefusesAnotherPage)
{
    const std::vector<DstLogEntry> entries = Decoded({kQuickFail});
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(std::tuple(entries[0].SelfTestCode(), entries[0].Result(), entries[0].TimeStamp(),
                         entries[0].FailingLbaHigh(), entries[0].FailingLbaLow(), entries[0].SenseKey(), entries[0].Asc()),
              std::tuple(1, 7, 90, 0u, 0x12345u, 3, 0x11));
    EXPECT_TRUE(entries[1].Empty());

    std::vector<uint8_t> page = ResultsPage({kQuickPass});
    page[3] = 0x80;
    EXPECT_FALSE(DecodeDstResultsPage(page.data()));
    page = ResultsPage({kQuickPass});
    page[0] = 0x2F;
    EXPECT_FALSE(DecodeDstResultsPage(page.data()));
}
