#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/monotonic_clock.h"
#include "scan/failure_narrowing.h"
#include "scan/scan_messages.h"
#include "scan/scan_run.h"
#include "scan/surface_scan.h"
#include "scan/scan_test_support.h"
#include "support/blocking_device.h"
#include "support/case_file.h"
#include "support/media_time.h"

using namespace scantest;

namespace {

constexpr uint32_t kMiB = 1024 * 1024;
constexpr uint64_t k32BitBlocks = uint64_t{1} << 32;

// One scan on media time, with what it told.
struct Scanning {
    ScanRecorder recorder;
    MediaTime time;
    std::atomic<bool> stop{false};
    ScanResult Run(SimDrive& drive, const ScanRequest& request)
    {
        drive.disk->SetMediaPacer(&time);
        return SurfaceScan(0, drive.Target(), request, time, recorder, stop).Run();
    }
};

std::vector<uint64_t> Lbas(const std::vector<ScanFailure>& failures)
{
    std::vector<uint64_t> lbas;
    for (const ScanFailure& failure : failures) lbas.push_back(failure.lba);
    return lbas;
}

// The drive's sense no longer names the failing block, as some drives and
// emulated disks answer: narrowing must halve its way down.
void ForgetInformationField(SimDrive& drive)
{
    DeviceHandle inner = drive.tap->inner;
    drive.tap->hook = [inner](ScsiRequest& request, bool& delivered) {
        delivered = inner->Execute(request);
        request.SenseData[0] &= 0x7F;
        return true;
    };
}

std::vector<uint64_t> Consecutive(uint64_t first, uint64_t count)
{
    std::vector<uint64_t> lbas(count);
    for (uint64_t i = 0; i < count; ++i) lbas[i] = first + i;
    return lbas;
}

std::optional<uint64_t> Lba(const std::string& field)
{
    return field == "-" ? std::nullopt : std::optional<uint64_t>(std::stoull(field));
}

// Cases in tests/data/scan/narrowing.txt.
TEST(SurfaceScanTest, EveryUnreadableBlockIsListedAndNothingElse)
{
    for (const CaseLine& c : ReadCaseFile("scan/narrowing.txt"))
        for (const MethodChoice choice : {MethodChoice::Read, MethodChoice::Verify})
            for (const bool informationField : {true, false}) {
                SCOPED_TRACE(CaseTrace("narrowing.txt", c) + (choice == MethodChoice::Read ? " read" : " verify") +
                             (informationField ? " named" : " halved"));
                std::vector<uint64_t> unreadable;
                std::istringstream words(c[6]);
                for (std::string word; words >> word;) {
                    const size_t plus = word.find('+');
                    const uint64_t count = plus == std::string::npos ? 1 : std::stoull(word.substr(plus + 1));
                    const auto run = Consecutive(std::stoull(word), count);
                    unreadable.insert(unreadable.end(), run.begin(), run.end());
                }
                const uint32_t blockLength = std::stoul(c[2]), adapterLimit = std::stoul(c[3]);
                SimDrive drive(std::stoull(c[1]), blockLength, adapterLimit, unreadable);
                if (!informationField) ForgetInformationField(drive);
                Scanning scan;
                const ScanResult result = scan.Run(drive, {Lba(c[4]), Lba(c[5]), choice});

                EXPECT_EQ(result.outcome, ScanOutcome::Failed);
                EXPECT_EQ(Lbas(result.failures), unreadable);
                for (const ScanFailure& failure : result.failures) {
                    EXPECT_TRUE(failure.reachedDrive);
                    EXPECT_EQ(FailureText(failure),
                              "LBA " + std::to_string(failure.lba) + ": MEDIUM ERROR, ASC 11h, ASCQ 00h");
                }
                EXPECT_EQ(Lbas(scan.recorder.Of(0).failures), unreadable) << "each told as it was found";
                EXPECT_TRUE(result.gaps.empty());
                EXPECT_EQ(result.blocksRead, result.plan.range.Blocks() - unreadable.size());

                // Large transfers, never above the adapter's limit, in whole blocks, and
                // 16-byte commands exactly where a 10-byte one cannot name the blocks.
                EXPECT_EQ(result.plan.transferBlocks, std::min(kMiB, adapterLimit) / blockLength);
                const uint8_t read10 = choice == MethodChoice::Read ? 0x28 : 0x2F;
                for (const SeenCommand& seen : drive.tap->Commands()) {
                    const auto blocks = MediaBlocks(seen.cdb.data());
                    ASSERT_TRUE(blocks) << "opcode " << int(seen.Opcode());
                    EXPECT_LE(blocks->Blocks(), result.plan.transferBlocks);
                    EXPECT_EQ(seen.Opcode(), blocks->last < k32BitBlocks ? read10 : read10 + 0x60);
                    EXPECT_EQ(seen.transferLength, choice == MethodChoice::Read ? blocks->Blocks() * blockLength : 0);
                }
            }
}

TEST(SurfaceScanTest, ADeadZoneCostsBoundedWorkAndEveryBlockIsAccountedFor)
{
    constexpr uint64_t kBlocks = 262144;
    const ScanRange zone{40000, 139999};
    SimDrive drive(kBlocks, 512, kMiB, Consecutive(zone.first, zone.Blocks()));
    Scanning scan;
    const ScanResult result = scan.Run(drive, {{}, {}, MethodChoice::Read});

    EXPECT_EQ(result.outcome, ScanOutcome::Failed);
    uint64_t listed = 0;
    for (const ScanFailure& failure : result.failures) {
        EXPECT_GE(failure.lba, zone.first);
        EXPECT_LE(failure.lba, zone.last) << "a block that reads is never listed as failed";
        ++listed;
    }
    uint64_t previousEnd = 0;
    for (const ScanGap& gap : result.gaps) {
        EXPECT_GE(gap.range.first, previousEnd) << "gaps in order, not overlapping";
        previousEnd = gap.range.last + 1;
        EXPECT_GE(gap.range.first, zone.first);
        if (gap.reason == GapReason::NotNarrowed) {
            EXPECT_LE(gap.range.last, zone.last);
        } else {
            EXPECT_LE(gap.range.first, zone.last) << "skipping ends past the zone";
        }
        listed += gap.range.Blocks();
    }
    EXPECT_EQ(result.blocksRead + listed, kBlocks) << "every block read, listed as failed, or listed as not read";
    EXPECT_GT(result.blocksRead, kBlocks - zone.Blocks() - 65536) << "the last skip is at most 32 transfers";

    // Two narrowed transfers, then probes a doubling distance apart.
    const auto commands = drive.MediaCommands();
    const auto good = drive.MediaCommands(true);
    EXPECT_LE(commands.size() - good.size(), 2u * (kNarrowingCommands + 1) + 10);
    EXPECT_LE(commands.size(), 2u * (kNarrowingCommands + 1) + 10 + (kBlocks - zone.Blocks()) / 2048 + 1);
    EXPECT_EQ(EndText(result).rfind("failed: ", 0), 0u);
}

// A tap charges the drive's time by opcode; cases in tests/data/scan/methods.txt.
TEST(SurfaceScanTest, TheFasterMethodOnTheDriveAtHandIsTheDefault)
{
    for (const CaseLine& c : ReadCaseFile("scan/methods.txt")) {
        SCOPED_TRACE(CaseTrace("methods.txt", c));
        const int64_t readPerBlock = std::stoll(c[1]), verifyPerBlock = std::stoll(c[2]);
        const uint64_t blocks = std::stoull(c[3]);
        const ScanMethod expected = c[4] == "verify" ? ScanMethod::Verify : ScanMethod::Read;
        const bool verifyReadsNothing = c[5] == "yes";
        const uint64_t bad = Lba(c[6]).value_or(blocks - 100);
        const int stalledVerifies = std::stoi(c[7]);
        const int64_t verifyStall = std::stoll(c[8]);
        SimDrive drive(blocks, 512, kMiB, {bad});
        Scanning scan;
        int verifies = 0;
        drive.tap->hook = [&](ScsiRequest& request, bool& delivered) {
            const auto range = MediaBlocks(request.Cdb);
            if (!range) return false;
            const bool verify = request.Cdb[0] == 0x2F || request.Cdb[0] == 0x8F;
            scan.time.Advance(static_cast<int64_t>(range->Blocks()) * (verify ? verifyPerBlock : readPerBlock));
            if (verify && ++verifies >= 2 && verifies < 2 + stalledVerifies) scan.time.Advance(verifyStall);
            if (!verify || !verifyReadsNothing) return false;
            request.ScsiStatus = kStatusGood;
            delivered = true;
            return true;
        };
        const ScanResult result = scan.Run(drive, {});

        EXPECT_EQ(result.method, expected);
        EXPECT_EQ(scan.recorder.Of(0).chosen, std::vector<ScanMethod>{expected}) << "told once";
        EXPECT_EQ(Lbas(result.failures), std::vector<uint64_t>{bad}) << "whichever method, the bad block is found";
        const bool sampled = blocks >= kSampleTransfers * 2048;
        ASSERT_EQ(result.sample.has_value(), sampled);
        if (sampled) {
            EXPECT_NEAR(result.sample->readBytesPerSecond, 512e9 / readPerBlock, 1.0);
        }
    }
}

struct StopCase {
    const char* name;
    // The scan is stopped (or the drive stops answering) when this media
    // command arrives: the first one for which `when` is true.
    bool (*when)(int index, const ScanRange& blocks);
    bool driveGoesAway = false;
};

const StopCase kStopCases[] = {
    {"BetweenTransfers", [](int index, const ScanRange&) { return index == 10; }},
    {"WhileNarrowingDown", [](int, const ScanRange& blocks) { return blocks.Blocks() == 1 && blocks.first == 5001; }},
    {"DriveStopsAnswering", [](int index, const ScanRange&) { return index >= 90; }, true},
};

class StopAndResumeTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopAndResumeTest, ResumingFromThePrintedLbaSkipsNothing)
{
    const StopCase& c = GetParam();
    const std::vector<uint64_t> unreadable{5000, 5001, 12345};
    constexpr uint64_t kBlocks = 20000;
    SimDrive drive(kBlocks, 512, 64 * 1024, unreadable);
    Scanning scan;
    std::atomic<int> index{0};
    bool stopped = false;
    drive.tap->hook = [&](ScsiRequest& request, bool& delivered) {
        const auto blocks = MediaBlocks(request.Cdb);
        if (!blocks) return false;
        stopped = stopped || c.when(index++, *blocks);
        if (!stopped || !c.driveGoesAway) {
            if (stopped) scan.stop = true;
            return false;
        }
        delivered = false;
        return true;
    };
    const ScanResult first = scan.Run(drive, {{}, {}, MethodChoice::Read});
    ASSERT_EQ(first.outcome, c.driveGoesAway ? ScanOutcome::DriveLost : ScanOutcome::Stopped);
    ASSERT_TRUE(first.resumeLba);
    const uint64_t resume = *first.resumeLba;
    EXPECT_NE(EndText(first).find("resume from LBA " + std::to_string(resume)), std::string::npos);
    const auto firstCommands = drive.MediaCommands(true);

    drive.tap->hook = nullptr;
    drive.tap->Forget();
    scan.stop = false;
    const ScanResult second = scan.Run(drive, {resume, {}, MethodChoice::Read});
    EXPECT_EQ(second.outcome, resume <= 12345 ? ScanOutcome::Failed : ScanOutcome::Passed);
    const auto secondCommands = drive.MediaCommands(true);
    ASSERT_FALSE(secondCommands.empty());
    EXPECT_EQ(secondCommands.front().first, resume) << "the second run begins where the first ended";

    std::vector<uint64_t> listed = Lbas(first.failures);
    for (uint64_t lba : Lbas(second.failures)) listed.push_back(lba);
    EXPECT_EQ(listed, unreadable) << "each unreadable block listed once over both runs";
    std::vector<bool> covered(kBlocks, false);
    for (const auto* commands : {&firstCommands, &secondCommands})
        for (const ScanRange& blocks : *commands)
            for (uint64_t lba = blocks.first; lba <= blocks.last; ++lba) covered[lba] = true;
    for (uint64_t lba : listed) covered[lba] = true;
    EXPECT_EQ(std::count(covered.begin(), covered.end(), false), 0) << "no block left out";
}

INSTANTIATE_TEST_SUITE_P(Ends, StopAndResumeTest, ::testing::ValuesIn(kStopCases),
                         [](const auto& info) { return std::string(info.param.name); });

class EstimateTest : public ::testing::TestWithParam<uint64_t> {};

TEST_P(EstimateTest, TimeLeftComesFromTheRateOfThisRun)
{
    const uint64_t rate = GetParam();
    SimDriveConfig config;
    config.blocks = 409600;  // 200 MiB
    config.blockLength = 512;
    config.media.mediaRate = rate;
    SimDrive drive(config, kMiB);
    Scanning scan;
    const ScanResult result = scan.Run(drive, {{}, {}, MethodChoice::Read});
    ASSERT_EQ(result.outcome, ScanOutcome::Passed);
    const double total = static_cast<double>(config.blocks * 512);
    EXPECT_NEAR(static_cast<double>(result.elapsedNanoseconds) / 1e9, total / rate, 1e-3);

    int estimates = 0;
    for (const ScanProgress& progress : scan.recorder.Of(0).progress) {
        const double elapsed = static_cast<double>(progress.elapsedNanoseconds) / 1e9;
        if (elapsed < 1.0) {
            EXPECT_FALSE(progress.secondsLeft) << "no figure before a second's worth to measure";
            continue;
        }
        ASSERT_TRUE(progress.secondsLeft && progress.bytesPerSecond);
        EXPECT_NEAR(*progress.bytesPerSecond, static_cast<double>(rate), rate * 1e-6);
        EXPECT_NEAR(elapsed + *progress.secondsLeft, total / rate, 1e-3) << "at " << PercentDone(progress) << "%";
        ++estimates;
    }
    EXPECT_GT(estimates, 20);
}

INSTANTIATE_TEST_SUITE_P(MediaRates, EstimateTest, ::testing::Values(20'000'000, 150'000'000));

TEST(SurfaceScanTest, OnlyBlocksTheDriveDidNotReadAreListed)
{
    for (const CaseLine& c : ReadCaseFile("scan/answers.txt")) {
        SCOPED_TRACE(CaseTrace("answers.txt", c));
        const auto Byte = [](const std::string& hex) { return static_cast<uint8_t>(std::stoul(hex, nullptr, 16)); };
        SimDrive drive(3000, 512, kMiB);
        drive.tap->hook = [&](ScsiRequest& request, bool& delivered) {
            const auto blocks = MediaBlocks(request.Cdb);
            if (!blocks || blocks->first > 700 || blocks->last < 700) return false;
            delivered = true;
            request.ScsiStatus = Byte(c[0]);
            request.DataResidual = c[2] == "yes" ? 512 : 0;
            const auto sense = FixedSense(Byte(c[1]), Byte(c[1]) == 0x02 ? 0x04 : 0x00);
            std::copy(sense.begin(), sense.end(), request.SenseData);
            return true;
        };
        Scanning scan;
        const ScanResult result = scan.Run(drive, {{}, {}, MethodChoice::Read});
        EXPECT_EQ(result.outcome, c[3] == "-" ? ScanOutcome::Passed : ScanOutcome::Failed);
        ASSERT_EQ(result.failures.size(), c[3] == "-" ? 0u : 1u);
        if (c[3] != "-") { EXPECT_EQ(FailureText(result.failures[0]), c[3]); }
    }
}

TEST(ScanPlanTest, TransfersFollowTheAdapterAndRangesStayOnTheDrive)
{
    for (const CaseLine& c : ReadCaseFile("scan/plans.txt")) {
        SCOPED_TRACE(CaseTrace("plans.txt", c));
        if (c[0] == "transfer") {
            EXPECT_EQ(TransferBlocks(std::stoul(c[1]), std::stoul(c[2])), std::stoul(c[3]));
            continue;
        }
        std::string error;
        const auto range = ResolveScanRange({Lba(c[1]), Lba(c[2]), MethodChoice::Faster}, 999, error);
        EXPECT_EQ(range.has_value(), c[3] == "-");
        EXPECT_EQ(error, c[3] == "-" ? "" : c[3]);
    }
    std::string error;
    EXPECT_FALSE(ResolveScanRange({}, UINT64_MAX, error)) << "a capacity that does not fit 64 bits";
}

bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(ScanRunTest, EachDriveHasItsOwnStopAndAHeldDriveHoldsNoOtherUp)
{
    SimDrive healthy(300000, 512, 1024 * 1024);
    SimDrive held(300000, 512, 1024 * 1024);
    SimDrive damaged(300000, 512, 1024 * 1024, {777, 299999});
    auto holding = std::make_shared<BlockingDevice>(held.tap, 0x28);
    std::vector<ScanTarget> targets{healthy.Target(), held.Target(), damaged.Target()};
    targets[1].handle = holding;
    SteadyMonotonicClock clock;
    ScanRecorder recorder;
    ScanRun run(targets, {{}, {}, MethodChoice::Read}, clock, recorder);
    run.Start();

    ASSERT_TRUE(WaitFor([&] { return !run.Running(0) && !run.Running(2) && holding->blocked; }))
        << "the held drive stalls no other";
    EXPECT_TRUE(run.Running(1));
    EXPECT_EQ(run.Result(0).outcome, ScanOutcome::Passed);
    EXPECT_EQ(run.Result(2).outcome, ScanOutcome::Failed);
    EXPECT_EQ(run.Result(2).failures.size(), 2u);

    // Its own stop, taken once the drive lets its command go.
    run.Stop(1);
    holding->Release();
    run.Wait();
    EXPECT_EQ(run.Result(1).outcome, ScanOutcome::Stopped);
    EXPECT_EQ(run.Result(1).resumeLba, 2048u) << "the command in progress ended, nothing after it was sent";
    EXPECT_EQ(recorder.Of(1).ended, 1u);
}

}  // namespace
