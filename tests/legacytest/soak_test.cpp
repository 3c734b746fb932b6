// The fault-and-stop soak: the long suite on small simulated drives, run
// after run with random faults and random stops, comparing every block and
// every mode page before and after. KESTRION_SOAK_RUNS=N runs N of them
// (KESTRION_SOAK_SEED picks the first seed); the suite runs a short one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <random>
#include <thread>

#include "drives/device_entry.h"
#include "legacy_bench_fixture.h"
#include "legacytest/exceptions_page.h"
#include "legacytest/read_write_verify.h"
#include "legacytest/test_run.h"
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"
#include "sim/sim_sense.h"
#include "support/sim_mode_page.h"

namespace {

using Action = SimFault::Action;

constexpr int kShortRuns = 500;
constexpr int kTransientFailures = std::min(kRestoreAttempts, kPageRestoreAttempts) - 1;
constexpr auto kRunLimit = std::chrono::seconds(60);  // longer: the run hangs
constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kRead16 = 0x88;
constexpr uint8_t kWriteVerify10 = 0x2E;
constexpr uint8_t kWriteVerify16 = 0x8E;

// The commands the suite sends, so that most faults meet one.
constexpr uint8_t kSuiteOpcodes[] = {0x00, 0x03, 0x1A, 0x15, 0x1D, 0x1C, 0x25, 0x9E, 0x28, 0x88,
                                     0x2E, 0x8E, 0x37, 0x3B, 0x3C, 0x4C, 0x4D, 0xDF};
// RECOVERED ERROR says the command was done: it comes from the "recovered"
// action, which does the command, not in place of one.
constexpr uint8_t kSenseKeys[] = {kSenseKeyNotReady,       kSenseKeyMediumError,   kSenseKeyHardwareError,
                                  kSenseKeyIllegalRequest, kSenseKeyUnitAttention, kSenseKeyAbortedCommand};
constexpr uint8_t kStatuses[] = {kSimStatusBusy, kSimStatusReservationConflict, kSimStatusTaskSetFull};

struct SoakFigures {
    int runs = 0;
    int stops = 0;
    uint64_t blocksChanged = 0;
    int settingsChanged = 0;
    int hangs = 0;
};

class FaultSoak : public LegacyBenchTest {
protected:
    using Random = std::mt19937_64;

    void SetUp() override
    {
        LegacyBenchTest::SetUp();
        // A hang's time-out, however long, passes in a few polls.
        hangClock.step = 500;
    }

    SoakFigures Soak(uint64_t seed, int runs)
    {
        SoakFigures figures;
        for (int run = 0; run < runs; ++run) {
            Random random(seed + static_cast<uint64_t>(run));
            if (!OneRun(random, figures)) {
                ADD_FAILURE() << "run with seed " << seed + static_cast<uint64_t>(run) << " hangs";
                break;
            }
        }
        std::cout.flush();
        std::printf("fault-and-stop soak, seed %llu: %d runs (%d stopped), %llu blocks changed, %d settings changed, "
                    "%d hangs\n",
                    static_cast<unsigned long long>(seed), figures.runs, figures.stops,
                    static_cast<unsigned long long>(figures.blocksChanged), figures.settingsChanged, figures.hangs);
        return figures;
    }

private:
    static int Pick(Random& random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    static bool Chance(Random& random, double p) { return std::bernoulli_distribution(p)(random); }
    static uint64_t Below(Random& random, uint64_t n)
    {
        return std::uniform_int_distribution<uint64_t>(0, n - 1)(random);
    }

    // A drive of a few thousand blocks with geometry, defects, unreadable
    // blocks and the log pages of a drive with or without SMART data.
    std::string RandomDrive(Random& random, uint32_t& cylinders, uint32_t& heads, uint32_t& sectors)
    {
        cylinders = static_cast<uint32_t>(Pick(random, 3, 6));
        heads = static_cast<uint32_t>(Pick(random, 2, 4));
        sectors = static_cast<uint32_t>(Pick(random, 150, 400));
        std::string defects;
        for (int i = Pick(random, 0, 3); i > 0; --i) {
            const uint64_t sector = Chance(random, 0.2) ? kSimWholeTrack : Below(random, sectors);
            defects += (defects.empty() ? "[" : ", [") + std::to_string(Below(random, cylinders)) + ", " +
                       std::to_string(Below(random, heads)) + ", " + std::to_string(sector) + "]";
        }
        const char* ppc[] = {"supported", "rejected", "ignored"};
        std::string logs = R"("logs": {"ppc": ")" + std::string(ppc[Pick(random, 0, 2)]) + "\"";
        if (Chance(random, 0.5)) logs += R"(, "pages": [2, 3, 5, 6, "0x0D", "0x2F", "0x30"])";
        if (Chance(random, 0.1)) logs += R"(, "smartTrip": 3)";
        logs += "}";
        std::string fields = "\"geometry\": {\"cylinders\": " + std::to_string(cylinders) +
                             ", \"heads\": " + std::to_string(heads) + ", \"sectorsPerTrack\": " +
                             std::to_string(sectors) + "}, \"defects\": {\"grown\": [" + defects + "]}, " + logs;
        if (Chance(random, 0.2)) fields += R"(, "descriptorSense": true)";
        if (Chance(random, 0.2)) fields += R"(, "unitAttention": true)";
        if (Chance(random, 0.1))
            fields += ", \"notReadyCommands\": " + std::to_string(Chance(random, 0.2) ? 1000000 : Pick(random, 1, 5));
        return OneDrive(fields, uint64_t{cylinders} * heads * sectors);
    }

    // A fault the drive gets over: it acts `times` times, or on every READ
    // (as a medium that cannot be read any more).
    SimFault RandomFault(Random& random, uint64_t firstCommand, int times)
    {
        SimFault fault;
        if (Chance(random, 0.8)) fault.opcode = kSuiteOpcodes[Below(random, std::size(kSuiteOpcodes))];
        // Half of them in the first few hundred commands, where the heads
        // check writes and the SMART check changes its page.
        fault.afterCommands = firstCommand + Below(random, Chance(random, 0.5) ? 300 : 12000);
        const bool read = fault.opcode == kRead10 || fault.opcode == kRead16;
        if (!read || Chance(random, 0.5)) fault.times = static_cast<uint32_t>(times);
        switch (Pick(random, 0, 6)) {
        case 0:
            fault.action = Action::Sense;
            fault.senseKey = kSenseKeys[Below(random, std::size(kSenseKeys))];
            fault.asc = static_cast<uint8_t>(Pick(random, 0, 0x5D));
            break;
        case 1:
            fault.action = Action::Status;
            fault.status = kStatuses[Below(random, std::size(kStatuses))];
            break;
        case 2: fault.action = Action::CallFails; break;
        case 3:
            // A hang holds the run up for its polls: a few of them only.
            fault.action = Action::Hang;
            fault.times = static_cast<uint32_t>(times);
            if (Chance(random, 0.5)) fault.hangSeconds = static_cast<uint32_t>(Pick(random, 0, 3));
            break;
        case 4:
            fault.action = Action::Recovered;
            fault.asc = 0x17;
            if (Chance(random, 0.5)) fault.transferBytes = static_cast<uint32_t>(Pick(random, 0, 4096));
            break;
        default:
            fault.action = Action::ShortTransfer;
            fault.transferBytes = static_cast<uint32_t>(Pick(random, 0, 4096));
            break;
        }
        return fault;
    }

    // A command straight to the drive, past any unit attention it has to tell.
    static SimResult Direct(SimDisk& disk, std::vector<uint8_t> cdb, SimDirection direction, std::vector<uint8_t>& data)
    {
        SimResult result;
        for (int attempt = 0; attempt < 4; ++attempt) {
            const auto length = static_cast<uint32_t>(data.size());
            result = disk.Execute(cdb.data(), cdb.size(), direction, data.data(), length, 2);
            if (result.status == 0) break;
        }
        return result;
    }

    // One run; false when it did not end in time.
    bool OneRun(Random& random, SoakFigures& figures)
    {
        uint32_t cylinders = 0;
        uint32_t heads = 0;
        uint32_t sectors = 0;
        Start(RandomDrive(random, cylinders, heads, sectors));
        SimDisk& disk = *Sim().Disk(0);
        disk.SetHangClock(&hangClock);
        const uint64_t blocks = uint64_t{cylinders} * heads * sectors;

        // User data where the heads check writes (sector 0 of every head of
        // cylinder 0) and in a few other places; then unreadable blocks,
        // the last one and a written one among them at times.
        std::vector<uint64_t> written;
        for (uint32_t head = 0; head < heads; ++head) written.push_back(uint64_t{head} * sectors);
        for (int i = 0; i < 6; ++i) written.push_back(Below(random, blocks));
        for (const uint64_t lba : written) {
            std::vector<uint8_t> data(512);
            for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
            std::vector<uint8_t> cdb{kWriteVerify10, 0, 0, 0, 0, 0, 0, 0, 1, 0};
            StoreBe32(cdb.data() + 2, static_cast<uint32_t>(lba));
            Direct(disk, cdb, SimDirection::Out, data);
        }
        if (Chance(random, 0.1)) disk.MarkUnreadable(Below(random, blocks));
        if (Chance(random, 0.1)) disk.MarkUnreadable(blocks - 1);
        if (Chance(random, 0.1)) disk.MarkUnreadable(written[Below(random, heads)]);

        const std::vector<uint8_t> mediumBefore = disk.ReadMedium(0, static_cast<uint32_t>(blocks));
        const std::vector<uint8_t> pagesBefore = simpage::All(disk);

        // Failures fewer in a row than the program's attempts to put data
        // and settings back: a drive that never answers again cannot have
        // them back, and the report says so (the unit tests show that).
        const uint64_t first = disk.CommandsReceived();
        for (int budget = Pick(random, 0, kTransientFailures); budget > 0;) {
            const int times = Pick(random, 1, budget);
            disk.AddFault(RandomFault(random, first, times));
            budget -= times;
        }
        // STOP pressed while some command runs, and a write whose answer
        // never comes back although the drive did it.
        const bool stops = Chance(random, 0.5);
        const int stopAt = Pick(random, 1, Chance(random, 0.5) ? 300 : 12000);
        const int lostWrite = Chance(random, 0.15) ? Pick(random, 1, 4) : 0;
        auto& tap = Tap(Entry(0));
        auto commands = std::make_shared<int>(0);
        auto writes = std::make_shared<int>(0);
        tap.hook = [&tap, stops, stopAt, lostWrite, commands, writes](ScsiRequest& request, bool& delivered) {
            if (stops && ++*commands == stopAt) g_bStopRequested = 1;
            const bool write = request.Cdb[0] == kWriteVerify10 || request.Cdb[0] == kWriteVerify16;
            if (!write || ++*writes != lostWrite) return false;
            tap.inner->Execute(request);
            request.ScsiStatus = 0;
            delivered = false;
            return true;
        };
        clock.step = Pick(random, 0, 1);
        for (const auto& slot : g_devices)
            if (slot) SetDeviceSelected(*slot, !slot->isController);

        LegacyRunReport report;
        legacytest::RecordingOutput runOutput;
        auto finished = std::async(std::launch::async, [&] {
            StreamCapture quiet;
            LegacyTestThreadProc(&runOutput, LongSelection(), environment, RunDrives::Selected(), &report);
        });
        if (finished.wait_for(kRunLimit) != std::future_status::ready) {
            ++figures.hangs;
            g_bStopRequested = 1;
            disk.ReleaseHangs();
            finished.wait();
            return false;
        }
        disk.ClearFaults();
        ++figures.runs;
        if (report.stopped) ++figures.stops;
        const std::vector<uint8_t> mediumAfter = disk.ReadMedium(0, static_cast<uint32_t>(blocks));
        for (uint64_t block = 0; block < blocks; ++block) {
            const auto at = static_cast<std::ptrdiff_t>(block * 512);
            if (!std::equal(mediumBefore.begin() + at, mediumBefore.begin() + at + 512, mediumAfter.begin() + at))
                ++figures.blocksChanged;
        }
        if (simpage::All(disk) != pagesBefore) ++figures.settingsChanged;
        return true;
    }

    legacytest::FakeClock hangClock;
};

TEST_F(FaultSoak, ShortRunChangesNoBlockAndNoSetting)
{
    const SoakFigures figures = Soak(1, kShortRuns);
    EXPECT_EQ(figures.runs, kShortRuns);
    EXPECT_EQ(figures.blocksChanged, 0u);
    EXPECT_EQ(figures.settingsChanged, 0);
    EXPECT_EQ(figures.hangs, 0);
}

TEST_F(FaultSoak, LongRunOnDemand)
{
    const char* runs = std::getenv("KESTRION_SOAK_RUNS");
    if (runs == nullptr) GTEST_SKIP() << "set KESTRION_SOAK_RUNS to run it";
    const char* seed = std::getenv("KESTRION_SOAK_SEED");
    const int count = std::atoi(runs);
    const SoakFigures figures = Soak(seed ? std::strtoull(seed, nullptr, 10) : 1000, count);
    EXPECT_EQ(figures.runs, count);
    EXPECT_EQ(figures.blocksChanged, 0u);
    EXPECT_EQ(figures.settingsChanged, 0);
    EXPECT_EQ(figures.hangs, 0);
}

}  // namespace
