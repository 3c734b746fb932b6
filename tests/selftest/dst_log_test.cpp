// The self-test log file: header, rows, line ends and what happens when the
// file cannot be written.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "drives/device_entry.h"
#include "selftest/dst_log.h"
#include "selftest/dst_test_support.h"
#include "support/case_file.h"

namespace {

constexpr const char* kHeader =
    "Product ID, Serial#, Test Type, Test Completion Status, Begin Time, End Time, Time Stamp, LBA of First Failure, "
    "SK, ASC, ASCQ, FRU";
constexpr time_t kBegin = 1700000000;  // Tue Nov 14 22:13:20 2023 UTC

void Identify(DeviceEntry& entry, const char* product, const char* serial)
{
    std::snprintf(entry.productId, sizeof entry.productId, "%s", product);
    std::snprintf(entry.serialNumber, sizeof entry.serialNumber, "%s", serial);
}

class DstLogTest : public ::testing::Test {
protected:
    void TearDown() override { g_strDstLogPath.clear(); }

    dsttest::UtcZone utc;
    dsttest::TempFolder folder;
};

}  // namespace

TEST_F(DstLogTest, RowsCarryTwelveColumnsForEveryOutcome)
{
    const auto seconds = [](const std::string& text) { return text == "-" ? time_t{0} : kBegin + std::stol(text); };
    for (const CaseLine& c : ReadCaseFile("selftest/log_rows.txt")) {
        SCOPED_TRACE(CaseTrace("log_rows.txt", c));
        const bool quick = c[0] == "Quick";
        DeviceEntry entry;
        Identify(entry, c[1].c_str(), c[2].c_str());
        (quick ? entry.dstQuickStatus : entry.dstAdvStatus) = static_cast<uint8_t>(std::stoi(c[3]));
        (quick ? entry.dstQuickResult : entry.dstAdvResult) = c[4];
        DstOutcome& outcome = quick ? entry.dstQuick : entry.dstAdvanced;
        outcome.timeStamp = static_cast<uint32_t>(std::stoul(c[5], nullptr, 16));
        if (c[6] != "-") {
            const std::vector<uint8_t> codes = ParseHexText(c[6].substr(c[6].find(' ')));
            const uint64_t lba = std::stoull(c[6], nullptr, 16);
            outcome = {static_cast<uint32_t>(lba >> 32), static_cast<uint32_t>(lba), codes.at(0), codes.at(1),
                       codes.at(2), codes.at(3), outcome.timeStamp};
        }
        outcome.beginTime = seconds(c[7]);
        outcome.endTime = seconds(c[8]);
        outcome.ended = static_cast<uint8_t>(std::stoi(c[9]));
        EXPECT_EQ(ComposeDstLogRow(entry, quick ? DstKind::Quick : DstKind::Advanced), c[10]);
    }
}

TEST_F(DstLogTest, HeaderOnlyInAnEmptyFileAndCarriageReturnLineEnds)
{
    const std::string path = folder.File("dst.log");
    std::string error;
    ASSERT_TRUE(AppendDstLogRows(path, {"row 1", "row 2"}, error)) << error;
    EXPECT_EQ(ReadTextFile(path), std::string(kHeader) + "\r\nrow 1\r\nrow 2") << "no line end at the end of the file";
    ASSERT_TRUE(AppendDstLogRows(path, {"row 3"}, error)) << error;
    EXPECT_EQ(ReadTextFile(path), std::string(kHeader) + "\r\nrow 1\r\nrow 2\r\nrow 3");

    // A file that already holds rows gets no header when chosen.
    const std::string existing = folder.File("old.log");
    {
        std::FILE* file = std::fopen(existing.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("Product ID, ...\r\nold row", file);
        std::fclose(file);
    }
    ASSERT_TRUE(PrepareDstLogFile(existing, error)) << error;
    EXPECT_EQ(ReadTextFile(existing), "Product ID, ...\r\nold row");
    ASSERT_TRUE(PrepareDstLogFile(folder.File("new.log"), error)) << error;
    EXPECT_EQ(ReadTextFile(folder.File("new.log")), kHeader);
}

TEST_F(DstLogTest, OnlyARegularFileIsTakenForTheLog)
{
    // Opening a FIFO for writing would wait for ever for a reader.
    const std::string fifo = folder.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = folder.File("no/such/dst.log");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {folder.Path(), "Is a directory"},
        {missing, "No such file or directory"},
        {fifo, "not a regular file"},
        {"/dev/full", "not a regular file"},
    };
    for (const auto& [path, why] : cases) {
        const std::string expected = "The DST log file \"" + path + "\" could not be opened: " + why + ".";
        std::string error;
        EXPECT_FALSE(AppendDstLogRows(path, {"row"}, error)) << path;
        EXPECT_EQ(error, expected);
        error.clear();
        EXPECT_FALSE(PrepareDstLogFile(path, error)) << path;
        EXPECT_EQ(error, expected);
    }
}

TEST_F(DstLogTest, FileThatCannotBeWrittenKeepsWhatItHeld)
{
    const std::string path = folder.File("dst.log");
    std::string error;
    ASSERT_TRUE(AppendDstLogRows(path, {"row 1"}, error)) << error;
    const std::string before = ReadTextFile(path);
    // The file may grow by a few bytes only: the row is cut short.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = before.size() + 5;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = AppendDstLogRows(path, {"row 2, far longer than five bytes"}, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "The DST log file \"" + path + "\" could not be written: File too large.");
    EXPECT_EQ(ReadTextFile(path), before);
}
