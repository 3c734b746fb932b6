// Which entry of the self-test results log is the run's own test.
#include <gtest/gtest.h>

#include <tuple>

#include "selftest/dst_results_log.h"
#include "selftest/dst_test_support.h"

using dsttest::LogEntry;
using dsttest::ResultsPage;

namespace {

std::vector<DstLogEntry> Decoded(const std::vector<LogEntry>& entries)
{
    const std::vector<uint8_t> page = ResultsPage(entries);
    return DecodeDstResultsPage(page.data()).value();
}

struct RunCase {
    const char* name;
    std::vector<LogEntry> before;  // the log when the test was started
    std::vector<LogEntry> now;
    uint8_t code;                  // SEND DIAGNOSTIC code of the test
    bool seenRunning;
    DstRunEntryState expected;
};

const LogEntry kQuickPass{.stamp = 100};
const LogEntry kQuickFail{.result = 7, .stamp = 90, .lba = 0x12345, .senseKey = 3, .asc = 0x11};
const LogEntry kAdvancedPass{.stamp = 100, .code = 2};

std::vector<LogEntry> Repeated(const LogEntry& entry, size_t count) { return std::vector<LogEntry>(count, entry); }

std::vector<LogEntry> Distinct(size_t count, uint16_t newest)
{
    std::vector<LogEntry> entries;
    for (size_t i = 0; i < count; ++i) entries.push_back({.stamp = static_cast<uint16_t>(newest - i)});
    return entries;
}

std::vector<LogEntry> Atop(const LogEntry& entry, std::vector<LogEntry> below)
{
    below.insert(below.begin(), entry);
    below.resize(std::min<size_t>(below.size(), 20));
    return below;
}

const RunCase kRunCases[] = {
    {"an earlier quick pass is not the refused advanced test's", {kQuickPass}, {kQuickPass}, 0x40, false,
     DstRunEntryState::None},
    {"the log is unchanged", {kQuickPass, kQuickFail}, {kQuickPass, kQuickFail}, 0x20, false,
     DstRunEntryState::None},
    {"the first entry of an empty log", {}, {kQuickPass}, 0x20, false, DstRunEntryState::Ended},
    {"a pass like the one before it, in the same hour", {kQuickPass, kQuickFail},
     {kQuickPass, kQuickPass, kQuickFail}, 0x20, false, DstRunEntryState::Ended},
    {"a full log loses its oldest", Distinct(20, 100), Atop({.result = 7, .stamp = 100}, Distinct(20, 100)), 0x20,
     false, DstRunEntryState::Ended},
    {"a full log of the same pass, the test seen running", Repeated(kQuickPass, 20), Repeated(kQuickPass, 20), 0x20,
     true, DstRunEntryState::Ended},
    {"a full log of the same pass, the test never seen", Repeated(kQuickPass, 20), Repeated(kQuickPass, 20), 0x20,
     false, DstRunEntryState::None},
    {"the test is in progress", {kQuickPass}, {{.result = 15}, kQuickPass}, 0x20, false,
     DstRunEntryState::InProgress},
    {"another kind of test on top", {kQuickPass}, {kAdvancedPass, kQuickPass}, 0x20, false, DstRunEntryState::None},
    {"an extended pass newer than the start", {kQuickPass}, {{.stamp = 101, .code = 2}, kQuickPass}, 0x40, false,
     DstRunEntryState::Ended},
    {"older than the newest entry at the start", {kQuickPass}, {{.stamp = 99}, kQuickPass}, 0x20, false,
     DstRunEntryState::None},
    {"a cleared log with one new entry", {kQuickFail, kAdvancedPass}, {kQuickPass}, 0x20, false,
     DstRunEntryState::Ended},
};

class RunEntryTest : public ::testing::TestWithParam<RunCase> {};

}  // namespace

TEST_P(RunEntryTest, FindsOnlyTheRunsOwnEntry)
{
    const RunCase& run = GetParam();
    DstRunMark mark = MarkDstRun(Decoded(run.before), run.code);
    mark.seenRunning = run.seenRunning;
    EXPECT_EQ(FindDstRunEntry(Decoded(run.now), mark), run.expected) << run.name;
}

INSTANTIATE_TEST_SUITE_P(Logs, RunEntryTest, ::testing::ValuesIn(kRunCases));

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
