#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "legacytest/exceptions_page.h"
#include "scsi/report.h"
#include "sim/sim_disk.h"
#include "sim/sim_sense.h"
#include "support/sim_mode_page.h"

namespace {

constexpr uint8_t kModeSense6 = 0x1A;
constexpr uint8_t kModeSelect6 = 0x15;

void SetCurrentPage(SimDisk& disk, uint8_t flags, uint8_t mrie)
{
    std::vector<uint8_t> page = simpage::Current(disk, 0x1C);
    page[2] = flags;
    page[3] = mrie;
    ASSERT_EQ(simpage::Select(disk, page), 0);
}

class ExceptionsPageTest : public LegacyBenchTest {
protected:
    void SetUp() override
    {
        LegacyBenchTest::SetUp();
        Start(OneDrive());
        disk = Sim().Disk(0);
        tap = &Tap(Entry(0));
        Context();
    }
    SimDisk* disk = nullptr;
    legacytest::TapDevice* tap = nullptr;
};

TEST_F(ExceptionsPageTest, PageIsReadCurrentWithoutBlockDescriptorsAndDecoded)
{
    SetCurrentPage(*disk, 0x88, 0x02);  // Perf and DExcpt, unit attention
    ExceptionsPageSave holder(&output);
    g_bLogToClog = true;
    EXPECT_EQ(SaveExceptionsPage(*context, holder), kPageOk);
    g_bLogToClog = false;
    ASSERT_FALSE(tap->Commands().empty());
    EXPECT_EQ(tap->Commands()[0].cdb, (std::vector<uint8_t>{kModeSense6, 0x08, 0x1C, 0x00, 0xFF, 0x00}));
    EXPECT_EQ(tap->Commands()[0].transferLength, 255u);
    EXPECT_EQ(holder.logErr, 0);
    EXPECT_EQ(holder.test, 0);
    EXPECT_EQ(holder.intervalTimer, 6000u);
    // Perf, DExcpt and MRIE as decoded:
    EXPECT_EQ(streams.Log(),
              "Smart shall not cause delays, Perf=1\nAll informational exception disabled, DExcpt=1\n"
              "Generate Unit Attention\nMRIE=  2\n");
}

TEST_F(ExceptionsPageTest, ReportingOnRequestIsSwitchedOnAndTheDrivesOwnBytesPutBack)
{
    SetCurrentPage(*disk, 0x08, 0x03);
    const std::vector<uint8_t> before = simpage::Current(*disk, 0x1C);
    ExceptionsPageSave holder(&output);
    tap->Forget();
    EXPECT_EQ(RestoreExceptionsPage(*context, holder), kPageOk);
    EXPECT_TRUE(tap->Commands().empty()) << "a page never read is not put back";
    // A drive that rounded a parameter (37h/00h) still took the page.
    disk->AddFault({.action = SimFault::Action::Recovered, .opcode = kModeSelect6, .asc = 0x37, .times = 1});
    EXPECT_EQ(EnableSmartReporting(*context, holder, kSmartMrieOnRequest, kSmartFlagsLogErr), kPageOk);
    const auto selects = tap->WithOpcode(kModeSelect6);
    ASSERT_EQ(selects.size(), 1u);
    EXPECT_EQ(selects[0].cdb, (std::vector<uint8_t>{kModeSelect6, 0x10, 0, 0, 0x10, 0})) << "PF set, SP clear";
    EXPECT_EQ(selects[0].transferLength, 255u);
    EXPECT_EQ(std::vector<uint8_t>(selects[0].dataOut.begin(), selects[0].dataOut.begin() + 8),
              (std::vector<uint8_t>{0, 0, 0, 0, 0x1C, 0x0A, 0x01, 0x06}));
    EXPECT_NE(simpage::Current(*disk, 0x1C), before);
    EXPECT_TRUE(holder.Changed());

    EXPECT_EQ(RestoreExceptionsPage(*context, holder), kPageOk);
    EXPECT_EQ(simpage::Current(*disk, 0x1C), before);
    EXPECT_FALSE(holder.Changed());
    const auto both = tap->WithOpcode(kModeSelect6);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1].cdb, both[0].cdb);
    EXPECT_EQ(std::vector<uint8_t>(both[1].dataOut.begin(), both[1].dataOut.begin() + 8),
              (std::vector<uint8_t>{0, 0, 0, 0, 0x1C, 0x0A, 0x08, 0x03}));
}

TEST_F(ExceptionsPageTest, PageStillChangedWhenTheHolderGoesIsPutBackEvenWithAStopPending)
{
    const std::vector<uint8_t> before = simpage::Current(*disk, 0x1C);
    {
        ExceptionsPageSave holder(&output);
        ASSERT_EQ(EnableSmartReporting(*context, holder, kSmartMrieOnRequest, kSmartFlagsLogErr), kPageOk);
        ASSERT_NE(simpage::Current(*disk, 0x1C), before);
        MarkTestWorkerThread(true);
        g_bStopRequested = 1;
    }
    MarkTestWorkerThread(false);
    EXPECT_EQ(simpage::Current(*disk, 0x1C), before);
    EXPECT_EQ(g_bStopRequested.load(), 1) << "the stop stays for the worker's next command";
    EXPECT_EQ(g_bNoAbort.load(), 0);
}

class ExceptionsPageScriptedTest : public ScriptedContextTest {
protected:
    ExceptionsPageSave holder{&output};
};

TEST_F(ExceptionsPageScriptedTest, RecoveredErrorWithFailurePredictionShowsSmartTrip)
{
    device->next.status = kStatusCheckCondition;
    device->next.sense = FixedSense(kSenseKeyRecoveredError, 0x5D, 0x10);
    EXPECT_EQ(SaveExceptionsPage(context, holder), kPageFailed);
    EXPECT_EQ(output.Text(), "\r\nSMART TRIP\r\n");

    // Another sense key fails silently; CHECK CONDITION with NO SENSE counts as read.
    device->next.sense = FixedSense(kSenseKeyIllegalRequest, 0x24);
    EXPECT_EQ(SaveExceptionsPage(context, holder), kPageFailed);
    EXPECT_EQ(output.Text(), "\r\nSMART TRIP\r\n");
    device->next.sense = FixedSense(kSenseKeyNoSense, 0x00);
    device->next.data = {0x0F, 0, 0, 0, 0x1C, 0x0A, 0x01, 0x06, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SaveExceptionsPage(context, holder), kPageOk);
    EXPECT_EQ(holder.mrie, 6);
    EXPECT_EQ(holder.logErr, 1);
}

TEST_F(ExceptionsPageScriptedTest, MalformedPagesAreRefusedWithoutReadingPastTheData)
{
    // Mode data length below 3.
    device->next.data = {0x02, 0, 0, 0, 0x1C, 0x0A};
    EXPECT_EQ(SaveExceptionsPage(context, holder), kPageFailed);
    // Another page.
    device->next.data = {0x0F, 0, 0, 0, 0x1A, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SaveExceptionsPage(context, holder), kPageFailed);
    // A block descriptor length that puts the page past the returned data.
    device->next.data = {0x0F, 0, 0, 0xF8, 0x1C, 0x0A};
    EXPECT_EQ(SaveExceptionsPage(context, holder), kPageFailed);
    EXPECT_EQ(EnableSmartReporting(context, holder, 6, 1), kPageFailed);
}

TEST_F(ExceptionsPageScriptedTest, PageAfterABlockDescriptorIsSentRightAfterTheHeader)
{
    // DPOFUA and PS set as the drive reports them; both are reserved in MODE SELECT.
    device->next.data = {0x17, 0, 0x10, 0x08, 0, 0, 0, 0, 0, 0, 2, 0, 0x9C, 0x0A, 0x88, 0x03, 0, 0, 0x17, 0x70, 0, 0, 0, 1};
    ASSERT_EQ(EnableSmartReporting(context, holder, 6, 1), kPageOk);
    const ScsiRequest& select = device->requests.back();
    const auto* sent = static_cast<const uint8_t*>(select.DataBuffer);
    EXPECT_EQ(std::vector<uint8_t>(sent, sent + 16),
              (std::vector<uint8_t>{0, 0, 0, 0, 0x1C, 0x0A, 0x01, 0x06, 0, 0, 0x17, 0x70, 0, 0, 0, 1}));
    EXPECT_EQ(holder.savedFlags, 0x88);
    EXPECT_EQ(holder.savedMrie, 0x03);
}

}  // namespace
