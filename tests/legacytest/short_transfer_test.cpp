// Every reader of drive data against a drive whose reply arrives short
// (GOOD, the rest of the data-in reported as residual, the program's buffer
// left as it was): what did not arrive is never read, neither as zeros nor
// as what a buffer held before.
#include <gtest/gtest.h>

#include <functional>

#include "drives/log_pages.h"
#include "legacy_bench_fixture.h"
#include "legacytest/exceptions_page.h"
#include "modepages/mode_page_family.h"
#include "modepages/mode_page_io.h"
#include "selftest/self_test_commander.h"
#include "sim/sim_disk.h"

namespace {

class ShortTransferTest : public LegacyBenchTest {
protected:
    void TearDown() override
    {
        g_pSheetDevice = nullptr;
        LegacyBenchTest::TearDown();
    }

    // The drive's next command of this opcode brings only `bytes` of its data.
    void ShortNext(uint8_t opcode, uint32_t bytes)
    {
        Sim().Disk(0)->AddFault(
            {.action = SimFault::Action::ShortTransfer, .opcode = opcode, .times = 1, .transferBytes = bytes});
    }
};

struct Reader {
    const char* name;
    // Reads through a short reply; true when nothing of what was missing was taken.
    std::function<bool()> takesNothing;
};

TEST_F(ShortTransferTest, NoReaderTakesBytesTheDriveDidNotSend)
{
    const Reader readers[] = {
        {"LOG SENSE without its header",
         [this] {
             ShortNext(0x4D, 3);
             uint8_t page[64] = {};
             return ReadLogPage(&Entry(0).handle, page, sizeof page, kSupportedLogPagesPage) == kLogPageFailed;
         }},
        {"mode page cut inside the page",
         [this] {
             g_pSheetDevice = &Entry(0);
             ShortNext(0x1A, 8);
             CCachingParms caching;
             caching.RefreshFields();
             return !caching.ColumnRead(Column::Current);
         }},
        {"informational exceptions page read again",
         [this] {
             ExceptionsPageSave holder(&output);
             if (SaveExceptionsPage(Context(), holder) != kPageOk) return false;
             ShortNext(0x1A, 8);
             return SaveExceptionsPage(Context(), holder) == kPageFailed;
         }},
        {"self-test results page cut",
         [this] {
             ShortNext(0x4D, 100);
             SelfTestCommander commander;
             return commander.ReadResultsPage(&Entry(0).handle) == 0;
         }},
        {"self-test progress sense cut",
         [this] {
             ShortNext(0x03, 8);
             SelfTestCommander commander;
             int progress = 0;
             return commander.PollProgress(&Entry(0).handle, progress) == 0;
         }},
    };
    for (const Reader& reader : readers) {
        Start(OneDrive(R"("geometry": {"cylinders": 400, "heads": 4, "sectorsPerTrack": 100},
                          "defects": {"grown": [[3, 1, 50]]})",
                       160000));
        EXPECT_TRUE(reader.takesNothing()) << reader.name;
    }
}

}  // namespace
