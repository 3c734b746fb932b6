// The self-test log file: header, rows, line ends and what happens when the
// file cannot be written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "drives/device_entry.h"
#include "selftest/dst_log.h"
#include "selftest/dst_test_support.h"
#include "support/recording_prompts.h"

using dsttest::ReadFile;
using dsttest::TempFolder;
using dsttest::UtcZone;

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

    UtcZone utc;
    TempFolder folder;
};

}  // namespace

TEST_F(DstLogTest, RowsCarryTwelveColumnsForPassedAndFailedDrives)
{
    DeviceEntry passed;
    Identify(passed, "MVX-18LW        ", "3KA04417");
    passed.dstQuickStatus = 1;
    passed.dstQuickResult = "The drive self-test completed without error.";
    passed.dstQuick.beginTime = kBegin;
    passed.dstQuick.endTime = kBegin + 95;
    passed.dstQuick.ended = 1;
    passed.dstQuick.timeStamp = 0x324A;
    EXPECT_EQ(ComposeDstLogRow(passed, DstKind::Quick),
              "MVX-18LW        , 3KA04417, DST Quick, The drive self-test completed without error., "
              "Tue Nov 14 22:13:20 2023, Tue Nov 14 22:14:55 2023, 324a, , , , ,");

    // A serial from VPD page 80h goes into its column whole.
    DeviceEntry failed;
    Identify(failed, "MVX-36LW", "ZA1B2C3D0000C1234567");
    failed.dstAdvStatus = 2;
    failed.dstAdvResult = "The read/verify element of the self-test failed.";
    failed.dstAdvanced = {0, 0x12345, 3, 0x11, 0, 0, 0x4F6B, kBegin, kBegin + 60, 1};
    EXPECT_EQ(ComposeDstLogRow(failed, DstKind::Advanced),
              "MVX-36LW, ZA1B2C3D0000C1234567, DST Advanced, The read/verify element of the self-test failed., "
              "Tue Nov 14 22:13:20 2023, Tue Nov 14 22:14:20 2023, 4f6b, 0000000000012345, 03, 11, 00, 00");

    // A quick test stopped before its end: begin and end (the abort time),
    // and the drive's latest entry, an abort.
    DeviceEntry stopped;
    Identify(stopped, "MVX-73LC", "3KC20735");
    stopped.dstQuickStatus = 0;
    stopped.dstQuickResult = "The drive self-test was aborted by the abort parameter code.";
    stopped.dstQuick.beginTime = kBegin;
    stopped.dstQuick.endTime = kBegin + 30;
    stopped.dstQuick.ended = 1;
    stopped.dstQuick.timeStamp = 0x1FB8;
    EXPECT_EQ(ComposeDstLogRow(stopped, DstKind::Quick),
              "MVX-73LC, 3KC20735, DST Quick, The drive self-test was aborted by the abort parameter code., "
              "Tue Nov 14 22:13:20 2023, Tue Nov 14 22:13:50 2023, 1fb8, , , , ,");

    // A drive without self-tests: its text, no times, empty failure columns.
    DeviceEntry unsupported;
    Identify(unsupported, "VD-9100", "V71C0388");
    unsupported.dstQuickResult = "Drive does not support DST";
    EXPECT_EQ(ComposeDstLogRow(unsupported, DstKind::Quick),
              "VD-9100, V71C0388, DST Quick, Drive does not support DST, , , 0, , , , ,");

    // Not ended: the end column stays empty even with a time stored.
    passed.dstQuick.ended = 0;
    EXPECT_NE(ComposeDstLogRow(passed, DstKind::Quick).find("22:13:20 2023, , 324a"), std::string::npos);
}

TEST_F(DstLogTest, HeaderOnlyInAnEmptyFileAndCarriageReturnLineEnds)
{
    const std::string path = folder.File("dst.log");
    std::string error;
    ASSERT_TRUE(AppendDstLogRows(path, {"row 1", "row 2"}, error)) << error;
    EXPECT_EQ(ReadFile(path), std::string(kHeader) + "\r\nrow 1\r\nrow 2") << "no line end at the end of the file";
    ASSERT_TRUE(AppendDstLogRows(path, {"row 3"}, error)) << error;
    EXPECT_EQ(ReadFile(path), std::string(kHeader) + "\r\nrow 1\r\nrow 2\r\nrow 3");

    // A file that already holds rows gets no header when chosen.
    const std::string existing = folder.File("old.log");
    {
        std::FILE* file = std::fopen(existing.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("Product ID, ...\r\nold row", file);
        std::fclose(file);
    }
    ASSERT_TRUE(PrepareDstLogFile(existing, error)) << error;
    EXPECT_EQ(ReadFile(existing), "Product ID, ...\r\nold row");
    ASSERT_TRUE(PrepareDstLogFile(folder.File("new.log"), error)) << error;
    EXPECT_EQ(ReadFile(folder.File("new.log")), kHeader);
}

TEST_F(DstLogTest, OnlyARegularFileIsTakenForTheLog)
{
    // A FIFO with a reader would take the rows away; without one, opening
    // it for writing would wait for ever.
    const std::string fifo = folder.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
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
    char byte = 0;
    EXPECT_LE(read(reader, &byte, 1), 0) << "nothing went into the FIFO";
    close(reader);
}

TEST_F(DstLogTest, FileThatCannotBeWrittenKeepsWhatItHeld)
{
    const std::string path = folder.File("dst.log");
    std::string error;
    ASSERT_TRUE(AppendDstLogRows(path, {"row 1"}, error)) << error;
    const std::string before = ReadFile(path);
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
    EXPECT_EQ(ReadFile(path), before);
}
