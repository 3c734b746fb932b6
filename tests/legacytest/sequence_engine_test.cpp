// The scenarios of tests/data/legacy/scenarios.txt run the sequence through;
// this is what needs a stop at a chosen command.
#include <gtest/gtest.h>

#include <optional>

#include "legacy_bench_fixture.h"

namespace {

constexpr uint8_t kSendDiagnostic = 0x1D;
constexpr uint8_t kReceiveDiagnostic = 0x1C;

class SequenceEngineTest : public LegacyBenchTest {};

TEST_F(SequenceEngineTest, DiagnosticsRunAsAStepNoStopCutsOff)
{
    Start(OneDrive());
    auto& tap = Tap(Entry(0));
    std::optional<uint8_t> noAbortDuringSelfTest;
    tap.hook = [&](ScsiRequest& request, bool&) {
        if (request.Cdb[0] == kSendDiagnostic) {
            noAbortDuringSelfTest = g_bNoAbort.load();
            g_bStopRequested = 1;  // STOP pressed while the drive tests itself
        }
        return false;
    };
    MarkTestWorkerThread(true);
    bool stopped = false;
    try {
        Run(Only({kSubtestDiagnostics, kSubtestSmartCheck}), Entry(0));
    } catch (const WorkerStopped&) {
        stopped = true;
    }
    MarkTestWorkerThread(false);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(noAbortDuringSelfTest, 1);
    EXPECT_EQ(g_bNoAbort.load(), 0);
    // The results were read back; the stop took the first command after.
    ASSERT_EQ(tap.Commands().size(), 2u);
    EXPECT_EQ(tap.Commands()[0].cdb, (std::vector<uint8_t>{kSendDiagnostic, 0x04, 0, 0, 0, 0}));
    EXPECT_EQ(tap.Commands()[1].cdb, (std::vector<uint8_t>{kReceiveDiagnostic, 0, 0, 0, 0x0C, 0}));
    EXPECT_TRUE(output.Contains("Finished receive/send diagnostic test\r\nBegin SMART check\r\n"));
    EXPECT_EQ(outcome.current, kSubtestSmartCheck);
}

}  // namespace
