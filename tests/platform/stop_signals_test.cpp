#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include "platform/stop_signals.h"
#include "scsi/stop.h"
#include "support/signal_stop.h"

// A signal is a stop request; a second of the same kind is the way out
// when a drive holds a command longer than anyone can wait.
TEST(StopSignalsDeathTest, SecondSignalOfTheSameKindEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            g_bStopRequested = 0;
            const StopSignals signals;
            if (!SignalAndWaitForStop(SIGTERM)) _exit(1);
            g_bStopRequested = 0;
            if (!SignalAndWaitForStop(SIGHUP)) _exit(2);
            ::kill(::getpid(), SIGTERM);
            ::sleep(10);
            _exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}
