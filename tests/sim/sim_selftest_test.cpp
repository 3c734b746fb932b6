// The simulated drive's self-tests (SPC-4 SEND DIAGNOSTIC self-test codes,
// progress in REQUEST SENSE, the self-test results log) and its diagnostic
// pages (supported pages, SBC-3 translate address).
#include <gtest/gtest.h>

#include <set>

#include "scsi/byte_order.h"
#include "selftest/dst_test_support.h"
#include "sim/bench_loader.h"
#include "sim/default_bench.h"
#include "sim/sim_selftest.h"
#include "sim_test_support.h"

using dsttest::ManualClock;
using simtest::RunIn;
using simtest::RunOut;

namespace {

constexpr int64_t kStart = 1700000000;

std::vector<uint8_t> SendDiagnostic(uint8_t byte1, uint16_t listLength = 0)
{
    std::vector<uint8_t> cdb{0x1D, byte1, 0, 0, 0, 0};
    StoreBe16(cdb.data() + 3, listLength);
    return cdb;
}

std::vector<uint8_t> ReceiveDiagnostic(uint8_t byte1, uint8_t page, uint16_t allocation)
{
    std::vector<uint8_t> cdb{0x1C, byte1, page, 0, 0, 0};
    StoreBe16(cdb.data() + 3, allocation);
    return cdb;
}

const std::vector<uint8_t> kRequestSense = {0x03, 0, 0, 0, 18, 0};

SimDriveConfig SelfTestDrive(std::optional<SimSelfTestFailure> failure = std::nullopt)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.selfTest.shortSeconds = 100;
    config.selfTest.extendedSeconds = 1000;
    config.selfTest.powerOnHours = 500;
    config.selfTest.failure = failure;
    config.geometry = SimGeometry{10, 4, 25};  // 1000 sectors for 1000 blocks
    return config;
}

SimSelfTestFailure ReadFailure()
{
    SimSelfTestFailure failure;
    failure.lba = 0x12345;
    failure.atPercent = 40;
    return failure;
}

// One parameter of the results log: its 20 bytes.
std::vector<uint8_t> Parameter(const std::vector<uint8_t>& parameters, size_t index)
{
    return {parameters.begin() + index * 20, parameters.begin() + (index + 1) * 20};
}

class SimSelfTestDriveTest : public ::testing::Test {
protected:
    void Make(const SimDriveConfig& config)
    {
        disk = std::make_unique<SimDisk>(config);
        disk->SetSelfTestClock(&clock);
    }
    simtest::Answer Send(const std::vector<uint8_t>& cdb, std::vector<uint8_t> data = {})
    {
        return RunOut(*disk, cdb, std::move(data));
    }

    ManualClock clock{kStart};
    std::unique_ptr<SimDisk> disk;
};

}  // namespace

TEST(SimSelfTestUnit, BackgroundTestRunsItsTimeThenLogsAPassWithItsPowerOnHours)
{
    SimSelfTestConfig config;
    config.shortSeconds = 7200;
    config.powerOnHours = 0x1234;
    SimSelfTestUnit unit(config, kStart);
    unit.StartBackground(kSelfTestCodeBackgroundShort, kStart);

    EXPECT_EQ(unit.ProgressIndication(kStart), 0);
    EXPECT_EQ(unit.ProgressIndication(kStart + 3600), 0x8000) << "half way is 32768/65536";
    // While it runs the newest parameter says "in progress", without hours.
    std::vector<uint8_t> log = unit.LogParameters(kStart + 3600);
    ASSERT_EQ(log.size(), 400u);
    EXPECT_EQ(Parameter(log, 0), (std::vector<uint8_t>{0x00, 0x01, 0x03, 0x10, 0x2F, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}))
        << "code 001b, result Fh, no failure address";
    unit.Settle(kStart + 7199);
    EXPECT_TRUE(unit.BackgroundRunning());
    unit.Settle(kStart + 7200);
    EXPECT_FALSE(unit.BackgroundRunning());
    log = unit.LogParameters(kStart + 9000);
    EXPECT_EQ(Parameter(log, 0), (std::vector<uint8_t>{0x00, 0x01, 0x03, 0x10, 0x20, 0x00, 0x12, 0x36, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}))
        << "passed, at 1234h + 2 hours";
    EXPECT_EQ(Parameter(log, 19), (std::vector<uint8_t>{0x00, 0x14, 0x03, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                        0, 0}))
        << "unused parameters keep only their code and length";
}

TEST(SimSelfTestUnit, FailingTestStopsWhereItFailsAndLogsTheFailure)
{
    SimSelfTestConfig config;
    config.extendedSeconds = 1000;
    config.failure = ReadFailure();
    config.failure->vendor = 0x5A;
    SimSelfTestUnit unit(config, kStart);
    unit.StartBackground(kSelfTestCodeBackgroundExtended, kStart);
    unit.Settle(kStart + 399);
    EXPECT_TRUE(unit.BackgroundRunning());
    unit.Settle(kStart + 400);
    ASSERT_FALSE(unit.BackgroundRunning());
    const std::vector<uint8_t> log = unit.LogParameters(kStart + 400);
    EXPECT_EQ(Parameter(log, 0), (std::vector<uint8_t>{0x00, 0x01, 0x03, 0x10, 0x47, 0x03, 0x03, 0xE8, 0, 0, 0, 0, 0,
                                                       0x01, 0x23, 0x45, 0x03, 0x11, 0x00, 0x5A}))
        << "code 010b, result 7 in segment 3, LBA 12345h, MEDIUM ERROR 11h/00h";
}

TEST(SimSelfTestUnit, KeepsTheTwentyNewestAndAbortIsLoggedAsResultOne)
{
    SimSelfTestConfig config;
    config.shortSeconds = 10;
    config.powerOnHours = 0xFFFF0;  // past what the field holds
    SimSelfTestUnit unit(config, kStart);
    for (int i = 0; i < 25; ++i) EXPECT_TRUE(unit.RunForeground(kSelfTestCodeForegroundShort, kStart + i));
    unit.StartBackground(kSelfTestCodeBackgroundShort, kStart + 100);
    EXPECT_TRUE(unit.AbortBackground(kStart + 105));
    EXPECT_FALSE(unit.AbortBackground(kStart + 106)) << "nothing left to abort";
    ASSERT_EQ(unit.Log().size(), 20u);
    const std::vector<uint8_t> log = unit.LogParameters(kStart + 200);
    EXPECT_EQ(log[4], 0x21) << "newest first: the aborted short test";
    EXPECT_EQ(log[6], 0xFF);
    EXPECT_EQ(log[7], 0xFF) << "power-on hours saturate at FFFFh";
    EXPECT_EQ(log[20 + 4], 0xA0) << "then the foreground short tests";
}

TEST(SimSelfTestUnit, DriveWithoutSelfTestsKeepsNoLog)
{
    SimSelfTestConfig config;
    config.supported = false;
    SimSelfTestUnit unit(config, kStart);
    EXPECT_TRUE(unit.RunForeground(kSelfTestCodeDefault, kStart)) << "the default self-test still runs";
    EXPECT_TRUE(unit.LogParameters(kStart).empty());
}

TEST_F(SimSelfTestDriveTest, BackgroundTestShowsProgressInRequestSenseUntilItEnds)
{
    Make(SelfTestDrive());
    EXPECT_EQ(Send(SendDiagnostic(0x20)).result.status, 0x00);
    clock.Advance(50);
    simtest::Answer sense = RunIn(*disk, kRequestSense, 18);
    ASSERT_EQ(sense.data.size(), 18u);
    EXPECT_EQ(sense.data[2] & 0x0F, 0x0) << "NO SENSE";
    EXPECT_EQ(sense.data[12], 0x04);
    EXPECT_EQ(sense.data[13], 0x09) << "self-test in progress";
    EXPECT_EQ(sense.data[15], 0x80) << "SKSV";
    EXPECT_EQ(sense.data[16], 0x80);
    EXPECT_EQ(sense.data[17], 0x00) << "50 of 100 seconds";

    // Other commands go on while a background test runs.
    EXPECT_EQ(RunIn(*disk, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).result.status, 0x00);

    clock.Advance(50);
    sense = RunIn(*disk, kRequestSense, 18);
    EXPECT_EQ(sense.data[12], 0x00);
    EXPECT_EQ(sense.data[15], 0x00);
    EXPECT_EQ(sense.data[16], 0x00);
    EXPECT_EQ(sense.data[17], 0x00) << "no progress once the test is over";

    // Descriptor format carries the progress in a sense key specific descriptor.
    EXPECT_EQ(Send(SendDiagnostic(0x40)).result.status, 0x00);
    clock.Advance(250);
    sense = RunIn(*disk, {0x03, 0x01, 0, 0, 252, 0}, 252);
    ASSERT_EQ(sense.data.size(), 16u);
    EXPECT_EQ(sense.data[0], 0x72);
    EXPECT_EQ(sense.data[7], 8);
    EXPECT_EQ(std::vector<uint8_t>(sense.data.begin() + 8, sense.data.end()),
              (std::vector<uint8_t>{0x02, 0x06, 0x00, 0x00, 0x80, 0x40, 0x00, 0x00}));
}

TEST_F(SimSelfTestDriveTest, SelfTestCodesAreCheckedAsTheStandardSays)
{
    Make(SelfTestDrive());
    // Abort with nothing running.
    simtest::Answer answer = Send(SendDiagnostic(0x80));
    EXPECT_EQ(answer.SenseKey(), 0x5);
    EXPECT_EQ(answer.Asc(), 0x24);
    // A second test while one runs, and the default self-test, are refused
    // with NOT READY, self-test in progress; an abort is taken.
    ASSERT_EQ(Send(SendDiagnostic(0x20)).result.status, 0x00);
    for (uint8_t byte1 : {0x20, 0x40, 0xA0, 0x04}) {
        answer = Send(SendDiagnostic(byte1));
        EXPECT_EQ(answer.SenseKey(), 0x2) << int{byte1};
        EXPECT_EQ(answer.Asc(), 0x04) << int{byte1};
        EXPECT_EQ(answer.Ascq(), 0x09) << int{byte1};
    }
    EXPECT_EQ(Send(SendDiagnostic(0x80)).result.status, 0x00);
    // Reserved codes, a code with the SELFTEST bit, a code with a parameter list.
    for (const auto& cdb : {SendDiagnostic(0x60), SendDiagnostic(0xE0), SendDiagnostic(0x24), SendDiagnostic(0x20, 4)}) {
        answer = Send(cdb, std::vector<uint8_t>(4, 0));
        EXPECT_EQ(answer.SenseKey(), 0x5);
        EXPECT_EQ(answer.Asc(), 0x24);
    }
}

TEST_F(SimSelfTestDriveTest, DefaultAndForegroundTestsAnswerWithTheirOutcome)
{
    SimSelfTestFailure failure = ReadFailure();
    failure.defaultTest = true;
    Make(SelfTestDrive(failure));
    simtest::Answer answer = Send(SendDiagnostic(0x04));
    EXPECT_EQ(answer.SenseKey(), 0x4);
    EXPECT_EQ(answer.Asc(), 0x3E);
    EXPECT_EQ(answer.Ascq(), 0x03) << "logical unit failed self-test";
    answer = Send(SendDiagnostic(0xA0));
    EXPECT_EQ(answer.Asc(), 0x3E);

    Make(SelfTestDrive());
    EXPECT_EQ(Send(SendDiagnostic(0x04)).result.status, 0x00);
    EXPECT_EQ(Send(SendDiagnostic(0xC0)).result.status, 0x00);
    // After a self-test, RECEIVE DIAGNOSTIC RESULTS without a page code
    // answers with the supported pages (the drive's own choice).
    const simtest::Answer results = RunIn(*disk, ReceiveDiagnostic(0x00, 0x00, 12), 12);
    EXPECT_EQ(results.result.status, 0x00);
    EXPECT_EQ(results.data, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x02, 0x00, 0x40}));
}

TEST_F(SimSelfTestDriveTest, DriveWithoutSelfTestRefusesEveryCodeButTheDefaultTest)
{
    SimDriveConfig config = SelfTestDrive();
    config.selfTest.supported = false;
    config.geometry.reset();
    Make(config);
    for (uint8_t byte1 : {0x20, 0x40, 0x80, 0xA0, 0xC0}) {
        const simtest::Answer answer = Send(SendDiagnostic(byte1));
        EXPECT_EQ(answer.SenseKey(), 0x5) << int{byte1};
        EXPECT_EQ(answer.Asc(), 0x24) << int{byte1};
    }
    EXPECT_EQ(Send(SendDiagnostic(0x04)).result.status, 0x00);
    const simtest::Answer pages = RunIn(*disk, ReceiveDiagnostic(0x01, 0x00, 64), 64);
    EXPECT_EQ(pages.data, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x01, 0x00})) << "no translate address page";
    const simtest::Answer translate = RunIn(*disk, ReceiveDiagnostic(0x01, 0x40, 64), 64);
    EXPECT_EQ(translate.SenseKey(), 0x5);
    EXPECT_EQ(translate.Asc(), 0x24);
}

TEST_F(SimSelfTestDriveTest, RefusedKindAndEarlierEntriesOfTheLog)
{
    SimDriveConfig config = SelfTestDrive();
    config.selfTest.refusesExtended = true;
    SimSelfTestLogEntry earlier;
    earlier.code = kSelfTestCodeBackgroundShort;
    earlier.powerOnHours = 480;
    SimSelfTestLogEntry failed = earlier;
    failed.code = kSelfTestCodeForegroundExtended;
    failed.result = 6;
    failed.number = 2;
    failed.powerOnHours = 470;
    failed.senseKey = 0x4;
    failed.asc = 0x09;
    config.selfTest.history = {earlier, failed};
    Make(config);
    for (uint8_t byte1 : {0x40, 0xC0}) {
        const simtest::Answer answer = Send(SendDiagnostic(byte1));
        EXPECT_EQ(answer.SenseKey(), 0x5) << int{byte1};
        EXPECT_EQ(answer.Asc(), 0x24) << int{byte1};
        ASSERT_GE(answer.result.sense.size(), 18u);
        EXPECT_EQ(answer.result.sense[15], 0xCF) << "SKSV, C/D, BPV: byte 1, bit 7 of the CDB";
        EXPECT_EQ(answer.result.sense[17], 0x01);
    }
    EXPECT_EQ(Send(SendDiagnostic(0x20)).result.status, 0x00) << "the short test is offered";
    clock.Advance(100);

    const simtest::Answer page = RunIn(*disk, {0x4D, 0, 0x50, 0, 0, 0, 0, 0x01, 0x94, 0}, 404);
    ASSERT_EQ(page.data.size(), 404u);
    const std::vector<uint8_t> log(page.data.begin() + 4, page.data.end());
    EXPECT_EQ(Parameter(log, 0)[4], 0x20) << "the new short pass on top";
    EXPECT_EQ(Parameter(log, 1), (std::vector<uint8_t>{0x00, 0x02, 0x03, 0x10, 0x20, 0, 0x01, 0xE0, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
    EXPECT_EQ(Parameter(log, 2), (std::vector<uint8_t>{0x00, 0x03, 0x03, 0x10, 0xC6, 0x02, 0x01, 0xD6, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x09, 0, 0}));
    EXPECT_EQ(Parameter(log, 3)[4], 0x00) << "nothing more";
}

TEST_F(SimSelfTestDriveTest, TranslatesBetweenBlocksAndPhysicalSectors)
{
    Make(SelfTestDrive());
    // Physical sector (cylinder 3, head 2, sector 7) to a logical block:
    // (3 * 4 + 2) * 25 + 7 = 357 = 165h.
    const std::vector<uint8_t> toBlock = {0x40, 0, 0x00, 0x0A, 0x05, 0x00, 0, 0, 3, 2, 0, 0, 0, 7};
    ASSERT_EQ(Send(SendDiagnostic(0x10, 14), toBlock).result.status, 0x00);
    simtest::Answer answer = RunIn(*disk, ReceiveDiagnostic(0x00, 0x00, 14), 14);
    EXPECT_EQ(answer.data, (std::vector<uint8_t>{0x40, 0, 0x00, 0x0A, 0x05, 0x00, 0, 0, 0x01, 0x65, 0, 0, 0, 0}));

    // Block 357 back to its physical sector, read with the page code.
    const std::vector<uint8_t> toPhysical = {0x40, 0, 0x00, 0x0A, 0x00, 0x05, 0, 0, 0x01, 0x65, 0, 0, 0, 0};
    ASSERT_EQ(Send(SendDiagnostic(0x10, 14), toPhysical).result.status, 0x00);
    answer = RunIn(*disk, ReceiveDiagnostic(0x01, 0x40, 14), 14);
    EXPECT_EQ(answer.data, (std::vector<uint8_t>{0x40, 0, 0x00, 0x0A, 0x00, 0x05, 0, 0, 3, 2, 0, 0, 0, 7}));

    // Head 4 of a 4-head drive does not exist: how the heads are counted.
    const std::vector<uint8_t> noHead = {0x40, 0, 0x00, 0x0A, 0x05, 0x00, 0, 0, 0, 4, 0, 0, 0, 0};
    answer = Send(SendDiagnostic(0x10, 14), noHead);
    EXPECT_EQ(answer.SenseKey(), 0x5);
    EXPECT_EQ(answer.Asc(), 0x26) << "invalid field in parameter list";
    ASSERT_GE(answer.result.sense.size(), 18u);
    EXPECT_EQ(answer.result.sense[15], 0x80) << "pointer into the parameter list (C/D clear)";
    EXPECT_EQ(answer.result.sense[17], 9) << "the head byte";

    // A block past the capacity.
    const std::vector<uint8_t> pastEnd = {0x40, 0, 0x00, 0x0A, 0x00, 0x05, 0, 0, 0x03, 0xE8, 0, 0, 0, 0};
    answer = Send(SendDiagnostic(0x10, 14), pastEnd);
    EXPECT_EQ(answer.Asc(), 0x21);
}

TEST_F(SimSelfTestDriveTest, SectorsPastTheLastBlockAreReservedArea)
{
    SimDriveConfig config = SelfTestDrive();
    config.geometry = SimGeometry{11, 4, 25};  // 1100 sectors for 1000 blocks
    Make(config);
    const std::vector<uint8_t> spare = {0x40, 0, 0x00, 0x0A, 0x05, 0x03, 0, 0, 10, 0, 0, 0, 0, 0};
    ASSERT_EQ(Send(SendDiagnostic(0x10, 14), spare).result.status, 0x00);
    const simtest::Answer answer = RunIn(*disk, ReceiveDiagnostic(0x01, 0x40, 64), 64);
    EXPECT_EQ(answer.data, (std::vector<uint8_t>{0x40, 0, 0x00, 0x02, 0x05, 0x23})) << "RAREA, no address";
}

TEST_F(SimSelfTestDriveTest, MalformedDiagnosticParameterListsAreRefused)
{
    Make(SelfTestDrive());
    simtest::Answer answer = Send(SendDiagnostic(0x10, 3), {0x40, 0, 0});
    EXPECT_EQ(answer.Asc(), 0x1A) << "shorter than a page header";
    answer = Send(SendDiagnostic(0x10, 8), {0x40, 0, 0, 0x0A, 5, 0, 0, 0});
    EXPECT_EQ(answer.Asc(), 0x1A) << "page longer than the list";
    answer = Send(SendDiagnostic(0x10, 4), {0x3F, 0, 0, 0});
    EXPECT_EQ(answer.Asc(), 0x26) << "unknown page";
    answer = Send(SendDiagnostic(0x10, 14), {0x40, 0, 0, 0x0A, 0x04, 0x00, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(answer.Asc(), 0x26) << "bytes-from-index format is not offered";
    answer = Send(SendDiagnostic(0x00, 4), {0x00, 0, 0, 0});
    EXPECT_EQ(answer.Asc(), 0x24) << "a list without PF";
    answer = RunIn(*disk, ReceiveDiagnostic(0x01, 0x3F, 64), 64);
    EXPECT_EQ(answer.Asc(), 0x24);
}

namespace {

std::string OneDrive(const std::string& extra)
{
    return R"({"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE", "product": "MVX",
               "blocks": 1000, )" +
           extra + "}]}";
}

}  // namespace

TEST(SimSelfTestBench, ReadsSelfTestAndGeometry)
{
    Bench bench;
    std::string error;
    ASSERT_TRUE(LoadBench(OneDrive(R"("selfTest": {"shortSeconds": 5, "extendedSeconds": 9, "powerOnHours": 77,
        "failure": {"result": 5, "lba": "0x1F", "senseKey": "0x4", "asc": "0x3E", "ascq": 1, "vendor": 9,
                    "atPercent": 0, "tests": ["extended", "default"]}},
        "geometry": {"cylinders": 10, "heads": 4, "sectorsPerTrack": 25})"),
                          "b.json", bench, error))
        << error;
    const SimDriveConfig& drive = bench.devices.at(0).drive;
    EXPECT_TRUE(drive.selfTest.supported);
    EXPECT_EQ(drive.selfTest.shortSeconds, 5u);
    EXPECT_EQ(drive.selfTest.extendedSeconds, 9u);
    EXPECT_EQ(drive.selfTest.powerOnHours, 77u);
    ASSERT_TRUE(drive.selfTest.failure);
    const SimSelfTestFailure& failure = *drive.selfTest.failure;
    EXPECT_EQ(failure.result, 5);
    EXPECT_EQ(failure.lba, 0x1Fu);
    EXPECT_EQ(failure.senseKey, 4);
    EXPECT_EQ(failure.asc, 0x3E);
    EXPECT_EQ(failure.ascq, 1);
    EXPECT_EQ(failure.vendor, 9);
    EXPECT_EQ(failure.atPercent, 0);
    EXPECT_FALSE(failure.shortTest);
    EXPECT_TRUE(failure.extendedTest);
    EXPECT_TRUE(failure.defaultTest);
    ASSERT_TRUE(drive.geometry);
    EXPECT_EQ(drive.geometry->heads, 4u);

    ASSERT_TRUE(LoadBench(OneDrive(R"("selfTest": {"powerOnHours": 900, "refuse": ["extended"], "history": [
        {"test": "short", "result": 0},
        {"test": "foregroundExtended", "result": 5, "powerOnHours": 850, "lba": 4096, "senseKey": 4, "asc": "0x40",
         "ascq": 1, "vendor": 2},
        {"test": "default", "result": 1, "powerOnHours": 12, "segment": 9}]})"),
                          "b.json", bench, error))
        << error;
    const SimSelfTestConfig& selfTest = bench.devices.at(0).drive.selfTest;
    EXPECT_FALSE(selfTest.refusesShort);
    EXPECT_TRUE(selfTest.refusesExtended);
    ASSERT_EQ(selfTest.history.size(), 3u);
    EXPECT_EQ(selfTest.history[0], (SimSelfTestLogEntry{1, 0, 0, 900}));
    EXPECT_EQ(selfTest.history[1], (SimSelfTestLogEntry{6, 5, 1, 850, 4096, 4, 0x40, 1, 2})) << "segment 1 of result 5";
    EXPECT_EQ(selfTest.history[2], (SimSelfTestLogEntry{0, 1, 9, 12}));

    ASSERT_TRUE(LoadBench(OneDrive(R"("selfTest": {"supported": false})"), "b.json", bench, error)) << error;
    EXPECT_FALSE(bench.devices.at(0).drive.selfTest.supported);
    EXPECT_FALSE(bench.devices.at(0).drive.geometry) << "no geometry: no translate address page";
}

TEST(SimSelfTestBench, RefusesWhatCannotBeSimulatedWithALineAndAReason)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"("geometry": {"cylinders": 9, "heads": 4, "sectorsPerTrack": 25})",
         "b.json:2: the geometry holds 900 sectors, fewer than the drive's 1000 blocks"},
        {R"("geometry": {"cylinders": 10, "heads": 256, "sectorsPerTrack": 25})",
         "b.json:2: \"heads\" must be a number from 1 to 255"},
        {R"("geometry": {"cylinders": 10, "heads": 4})", "b.json:2: missing required field \"sectorsPerTrack\""},
        {R"("selfTest": {"shortSecs": 5})", "b.json:2: unknown field \"shortSecs\""},
        {R"("selfTest": {"shortSeconds": 0})", "b.json:2: \"shortSeconds\" must be a number from 1 to 604800"},
        {R"("selfTest": {"failure": {"result": 2}})", "b.json:2: \"result\" must be a number from 3 to 7"},
        {R"("selfTest": {"failure": {"tests": ["quick"]}})",
         "b.json:2: each of \"tests\" must be \"short\", \"extended\" or \"default\""},
        {R"("selfTest": {"refuse": ["quick"]})", "b.json:2: each of \"refuse\" must be \"short\" or \"extended\""},
        {R"("selfTest": {"history": [{"result": 0}]})", "b.json:2: missing required field \"test\""},
        {R"("selfTest": {"history": [{"test": "long"}]})",
         "b.json:2: \"test\" must be \"default\", \"short\", \"extended\", \"foregroundShort\" or "
         "\"foregroundExtended\""},
        {R"("selfTest": {"history": [{"test": "short", "result": 15}]})",
         "b.json:2: \"result\" must be a number from 0 to 14"},
        {R"("selfTest": {"powerOnHours": 50, "history": [{"test": "short", "powerOnHours": 51}]})",
         "b.json:2: \"powerOnHours\" must be a number from 0 to 50"},
        {R"("selfTest": {"history": [{"test": "short", "powerOnHours": 7}, {"test": "short", "powerOnHours": 8}]})",
         "b.json:2: \"powerOnHours\" must be a number from 0 to 7"},
        {R"("selfTest": {"failure": {"lba": "12345"}})",
         "b.json:2: \"lba\" must be a number from 0 to 9223372036854775807 or hexadecimal text such as \"0x12345\""},
    };
    for (const auto& [extra, message] : cases) {
        Bench bench;
        std::string error;
        EXPECT_FALSE(LoadBench(OneDrive(extra), "b.json", bench, error)) << extra;
        EXPECT_EQ(error, message) << extra;
    }
}

TEST(SimSelfTestBench, DefaultBenchShowsEveryKindOfSelfTestOutcome)
{
    Bench bench;
    std::string error;
    ASSERT_TRUE(LoadBench(DefaultBenchJson(), "default", bench, error)) << error;
    int failing = 0;
    int refusing = 0;
    std::set<uint8_t> codes;
    std::set<uint8_t> results;
    for (const BenchDevice& device : bench.devices) {
        if (device.drive.deviceType != 0) continue;
        const SimSelfTestConfig& selfTest = device.drive.selfTest;
        EXPECT_TRUE(selfTest.supported) << device.drive.product;
        EXPECT_TRUE(device.drive.geometry) << device.drive.product;
        EXPECT_FALSE(selfTest.history.empty()) << device.drive.product << " has earlier entries";
        for (const SimSelfTestLogEntry& entry : selfTest.history) {
            codes.insert(entry.code);
            results.insert(entry.result);
        }
        if (selfTest.failure) {
            ++failing;
            EXPECT_EQ(selfTest.failure->lba, 0x12345u);
        }
        if (selfTest.refusesExtended) {
            ++refusing;
            EXPECT_EQ(selfTest.history.front().code, kSelfTestCodeBackgroundShort)
                << "a quick result is the newest entry of the drive that refuses the advanced test";
        }
    }
    EXPECT_EQ(failing, 1);
    EXPECT_EQ(refusing, 1);
    EXPECT_EQ(codes, (std::set<uint8_t>{0, 1, 2, 5, 6}));
    EXPECT_TRUE(results.contains(0) && results.contains(1) && results.contains(2) && results.contains(7));
}
