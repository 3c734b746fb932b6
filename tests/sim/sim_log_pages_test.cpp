#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scsi/byte_order.h"
#include "sim/bench_loader.h"
#include "sim/sim_disk.h"
#include "sim_test_support.h"

using simtest::Answer;
using simtest::Hex;
using simtest::RunIn;
using simtest::RunOut;

namespace {

constexpr uint8_t kIllegalRequest = 0x05;
constexpr uint8_t kInvalidFieldInCdb = 0x24;
constexpr uint8_t kInvalidFieldInList = 0x26;

std::vector<uint8_t> LogSense(uint8_t pageCode, uint8_t pageControl = 1, uint16_t allocation = 4096, bool ppc = false,
                              uint16_t pointer = 0, uint8_t subpage = 0)
{
    std::vector<uint8_t> cdb{0x4D, static_cast<uint8_t>(ppc ? 0x02 : 0x00), static_cast<uint8_t>((pageControl << 6) | pageCode),
                             subpage, 0x00, 0, 0, 0, 0, 0x00};
    StoreBe16(cdb.data() + 5, pointer);
    StoreBe16(cdb.data() + 7, allocation);
    return cdb;
}

std::vector<uint8_t> LogSelect(uint8_t byte1, uint8_t pageControl, uint8_t pageCode, uint16_t listLength)
{
    std::vector<uint8_t> cdb{0x4C, byte1, static_cast<uint8_t>((pageControl << 6) | pageCode), 0, 0, 0, 0, 0, 0, 0};
    StoreBe16(cdb.data() + 7, listLength);
    return cdb;
}

// The parameter of a page with this code, header included; empty when absent.
std::vector<uint8_t> Parameter(const std::vector<uint8_t>& page, uint16_t code)
{
    size_t offset = 4;
    while (offset + 4 <= page.size()) {
        const size_t size = 4 + page[offset + 3];
        if (LoadBe16(&page[offset]) == code)
            return {page.begin() + offset, page.begin() + std::min(page.size(), offset + size)};
        offset += size;
    }
    return {};
}

std::vector<uint16_t> Codes(const std::vector<uint8_t>& page)
{
    std::vector<uint16_t> codes;
    for (size_t offset = 4; offset + 4 <= page.size(); offset += 4 + page[offset + 3])
        codes.push_back(LoadBe16(&page[offset]));
    return codes;
}

uint16_t PageLength(const Answer& answer) { return LoadBe16(&answer.data[2]); }

SimDriveConfig SmartDrive()
{
    SimDriveConfig config = simtest::PlainDrive();
    config.selfTest.supported = false;
    config.logs.pages.push_back(kSimLogAttributes);
    config.logs.counters[kSimLogReadErrors] = {{0x0003, 12}, {0x0006, 2}, {0x8001, 7}};
    return config;
}

void ExpectIllegal(const Answer& answer, uint8_t asc)
{
    EXPECT_EQ(answer.result.status, 0x02);
    EXPECT_EQ(answer.SenseKey(), kIllegalRequest);
    EXPECT_EQ(answer.Asc(), asc);
}

TEST(SimLogPages, SupportedPagesNameWhatTheDriveKeeps)
{
    SimDriveConfig plain = simtest::PlainDrive();
    plain.selfTest.supported = false;
    SimDisk disk(plain);
    EXPECT_EQ(RunIn(disk, LogSense(0x00)).data, Hex("00 00 00 07  00 02 03 05 06 0d 2f"));

    SimDisk smart(SmartDrive());
    EXPECT_EQ(RunIn(smart, LogSense(0x00)).data, Hex("00 00 00 08  00 02 03 05 06 0d 2f 30"));
    // Pages and subpages: pairs, with 00h/FFh itself.
    EXPECT_EQ(RunIn(smart, LogSense(0x00, 1, 4096, false, 0, 0xFF)).data,
              Hex("40 ff 00 12  00 00 00 ff 02 00 03 00 05 00 06 00 0d 00 2f 00 30 00"));

    SimDriveConfig withSelfTests = simtest::PlainDrive();
    withSelfTests.logs.pages = {kSimLogTemperature};
    SimDisk selfTesting(withSelfTests);
    EXPECT_EQ(RunIn(selfTesting, LogSense(0x00)).data, Hex("00 00 00 03  00 0d 10"));
    const Answer results = RunIn(selfTesting, LogSense(0x10));
    EXPECT_EQ(results.result.status, 0x00);
    EXPECT_EQ(PageLength(results), 20 * 20);

    SimDriveConfig none = plain;
    none.logs.pages.clear();
    SimDisk bare(none);
    EXPECT_EQ(RunIn(bare, LogSense(0x00)).data, Hex("00 00 00 01 00"));
    ExpectIllegal(RunIn(bare, LogSense(0x2F)), kInvalidFieldInCdb);
}

TEST(SimLogPages, ErrorCounterPageHoldsStandardAndVendorCounters)
{
    SimDisk disk(SmartDrive());
    const Answer read = RunIn(disk, LogSense(0x03));
    ASSERT_EQ(read.result.status, 0x00);
    EXPECT_EQ(read.data[0], 0x03);
    EXPECT_EQ(Codes(read.data), (std::vector<uint16_t>{0, 1, 2, 3, 4, 5, 6, 0x8001}));
    EXPECT_EQ(PageLength(read), 8 * 12);
    EXPECT_EQ(Parameter(read.data, 0x0003), Hex("00 03 00 08 00 00 00 00 00 00 00 0c"));
    EXPECT_EQ(Parameter(read.data, 0x0006), Hex("00 06 00 08 00 00 00 00 00 00 00 02"));
    EXPECT_EQ(Codes(RunIn(disk, LogSense(0x06)).data), (std::vector<uint16_t>{0}));

    // Threshold and default values exist for every counter.
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x03, 0)).data, 0x0003), Hex("00 03 00 08 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x03, 3)).data, 0x0003), Hex("00 03 00 08 00 00 00 00 00 00 00 00"));
}

TEST(SimLogPages, AllocationLengthAndParameterPointerCutTheReply)
{
    SimDisk disk(SmartDrive());
    const Answer cut = RunIn(disk, LogSense(0x03, 1, 10));
    EXPECT_EQ(cut.data.size(), 10u);
    EXPECT_EQ(PageLength(cut), 96) << "the page length stays that of the whole page";
    EXPECT_TRUE(RunIn(disk, LogSense(0x03, 1, 0)).data.empty());

    const Answer fromFive = RunIn(disk, LogSense(0x03, 1, 4096, false, 0x0005));
    EXPECT_EQ(Codes(fromFive.data), (std::vector<uint16_t>{5, 6, 0x8001}));
    ExpectIllegal(RunIn(disk, LogSense(0x03, 1, 4096, false, 0x8002)), kInvalidFieldInCdb);
    ExpectIllegal(RunIn(disk, LogSense(0x00, 1, 4096, false, 0x0001)), kInvalidFieldInCdb);
    // Saving log parameters is not offered; subpages other than 00h neither.
    std::vector<uint8_t> save = LogSense(0x03);
    save[1] = 0x01;
    ExpectIllegal(RunIn(disk, save), kInvalidFieldInCdb);
    ExpectIllegal(RunIn(disk, LogSense(0x03, 1, 4096, false, 0, 0x01)), kInvalidFieldInCdb);
}

TEST(SimLogPages, ChangedParametersAreThoseNotSeenSinceTheLastSenseOrSelect)
{
    SimDisk disk(SmartDrive());
    // After power on, the counters that are not at their defaults changed.
    const Answer first = RunIn(disk, LogSense(0x03, 1, 4096, true));
    EXPECT_EQ(Codes(first.data), (std::vector<uint16_t>{3, 6, 0x8001}));
    EXPECT_EQ(PageLength(first), 36);
    // Seen now: nothing changed any more.
    EXPECT_EQ(PageLength(RunIn(disk, LogSense(0x03, 1, 4096, true))), 0);
    // The other pages keep their own record.
    EXPECT_EQ(PageLength(RunIn(disk, LogSense(0x02, 1, 4096, true))), 0);
}

TEST(SimLogPages, CurrentDrivesRefuseOrIgnoreThePpcBit)
{
    SimDriveConfig rejecting = SmartDrive();
    rejecting.logs.ppc = SimPpc::Rejected;
    SimDisk refuses(rejecting);
    const Answer refused = RunIn(refuses, LogSense(0x03, 1, 4096, true));
    ExpectIllegal(refused, kInvalidFieldInCdb);
    EXPECT_EQ(refused.result.sense[15], 0xC9) << "field pointer: byte 1 bit 1";
    EXPECT_EQ(Codes(RunIn(refuses, LogSense(0x03)).data).size(), 8u);

    SimDriveConfig ignoring = SmartDrive();
    ignoring.logs.ppc = SimPpc::Ignored;
    SimDisk ignores(ignoring);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Codes(RunIn(ignores, LogSense(0x03, 1, 4096, true)).data).size(), 8u) << "every parameter, read " << i;
}

TEST(SimLogPages, ParameterCodeResetClearsTheCumulativeCounters)
{
    SimDisk disk(SmartDrive());
    // What the error-log check sends: PCR, current cumulative values, no list.
    EXPECT_EQ(RunOut(disk, LogSelect(0x02, 1, 0x00, 0), {}).result.status, 0x00);
    const Answer read = RunIn(disk, LogSense(0x03));
    EXPECT_EQ(Parameter(read.data, 0x0003), Hex("00 03 00 08 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(Parameter(read.data, 0x8001), Hex("80 01 00 08 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(PageLength(RunIn(disk, LogSense(0x03, 1, 10, true))), 0);

    // A list with PCR set is refused.
    ExpectIllegal(RunOut(disk, LogSelect(0x02, 1, 0x00, 16), std::vector<uint8_t>(16, 0)), kInvalidFieldInCdb);
    ExpectIllegal(RunOut(disk, LogSelect(0x01, 1, 0x00, 0), {}), kInvalidFieldInCdb);
    ExpectIllegal(RunOut(disk, LogSelect(0x02, 1, 0x11, 0), {}), kInvalidFieldInCdb);
}

TEST(SimLogPages, ResetOfOnePageOrOfThresholdsLeavesTheRest)
{
    SimDisk disk(SmartDrive());
    const std::vector<uint8_t> thresholds = Hex("03 00 00 0c  00 06 00 08 00 00 00 00 00 00 00 05");
    ASSERT_EQ(RunOut(disk, LogSelect(0x00, 0, 0x00, 16), thresholds).result.status, 0x00);
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x03, 0)).data, 0x0006), Hex("00 06 00 08 00 00 00 00 00 00 00 05"));

    // Default cumulative values for page 02h only: page 03h keeps its counts.
    ASSERT_EQ(RunOut(disk, LogSelect(0x00, 3, 0x02, 0), {}).result.status, 0x00);
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x03)).data, 0x0006), Hex("00 06 00 08 00 00 00 00 00 00 00 02"));
    // PCR with threshold values resets the thresholds, not the counts.
    ASSERT_EQ(RunOut(disk, LogSelect(0x02, 0, 0x03, 0), {}).result.status, 0x00);
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x03, 0)).data, 0x0006), Hex("00 06 00 08 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x03)).data, 0x0006), Hex("00 06 00 08 00 00 00 00 00 00 00 02"));
}

TEST(SimLogPages, ParameterListSetsCountersAndTheirControlBits)
{
    SimDisk disk(SmartDrive());
    const std::vector<uint8_t> list = Hex(
        "02 00 00 0c  00 01 80 08 00 00 00 00 00 00 01 00 "  // page 02h, counter 0001h, DU set
        "03 00 00 0c  00 06 10 08 00 00 00 00 00 00 00 09");  // page 03h, counter 0006h, ETC set
    ASSERT_EQ(RunOut(disk, LogSelect(0x00, 1, 0x00, static_cast<uint16_t>(list.size())), list).result.status, 0x00);
    // What LOG SELECT set is not "changed" for the next PPC read.
    EXPECT_EQ(PageLength(RunIn(disk, LogSense(0x02, 1, 4096, true))), 0);
    EXPECT_EQ(PageLength(RunIn(disk, LogSense(0x03, 1, 4096, true))), 0);
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x02)).data, 0x0001), Hex("00 01 80 08 00 00 00 00 00 00 01 00"));
    EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x03)).data, 0x0006), Hex("00 06 10 08 00 00 00 00 00 00 00 09"));
}

TEST(SimLogPages, BadParameterListsChangeNothing)
{
    struct Case {
        const char* what;
        std::string list;
        uint8_t asc;
    };
    const std::vector<Case> cases{
        {"second page's counter unknown", "02 00 00 0c 00 01 00 08 00 00 00 00 00 00 00 01  03 00 00 0c 00 09 00 08 00 00 00 00 00 00 00 01",
         kInvalidFieldInList},
        {"pages out of order", "03 00 00 0c 00 01 00 08 00 00 00 00 00 00 00 01  02 00 00 0c 00 01 00 08 00 00 00 00 00 00 00 01",
         kInvalidFieldInList},
        {"codes out of order", "02 00 00 18 00 02 00 08 00 00 00 00 00 00 00 01  00 01 00 08 00 00 00 00 00 00 00 01",
         kInvalidFieldInList},
        {"wrong counter length", "02 00 00 08 00 01 00 04 00 00 00 01", kInvalidFieldInList},
        {"list format", "02 00 00 0c 00 01 03 08 00 00 00 00 00 00 00 01", kInvalidFieldInList},
        {"page not kept", "07 00 00 00", kInvalidFieldInList},
        {"drive-set page", "2f 00 00 08 00 00 03 04 00 00 00 00", kInvalidFieldInList},
        {"subpage", "42 01 00 00", kInvalidFieldInList},
        {"page longer than the list", "02 00 00 10 00 01 00 08 00 00 00 00 00 00 00 01", kInvalidFieldInCdb},
        {"header cut by the list length", "02 00 00 0c 00 01 00 08 00 00 00 00 00 00 00 01 03 00", kInvalidFieldInCdb},
        {"parameter runs past its page", "02 00 00 06 00 01 00 08 00 00", kInvalidFieldInList},
    };
    for (const Case& c : cases) {
        SimDisk disk(SmartDrive());
        const std::vector<uint8_t> list = Hex(c.list);
        ExpectIllegal(RunOut(disk, LogSelect(0x00, 1, 0x00, static_cast<uint16_t>(list.size())), list), c.asc);
        EXPECT_EQ(Parameter(RunIn(disk, LogSense(0x02)).data, 0x0001), Hex("00 01 00 08 00 00 00 00 00 00 00 00"))
            << c.what;
    }
    SimDisk disk(SmartDrive());
    // Default values cannot be set, and a list goes with page code 00h.
    ExpectIllegal(RunOut(disk, LogSelect(0x00, 3, 0x00, 4), Hex("02 00 00 00")), kInvalidFieldInCdb);
    ExpectIllegal(RunOut(disk, LogSelect(0x00, 1, 0x02, 4), Hex("02 00 00 00")), kInvalidFieldInCdb);
    // A list shorter than its length never arrives: the call fails.
    EXPECT_TRUE(RunOut(disk, LogSelect(0x00, 1, 0x00, 16), Hex("02 00 00 00")).result.callFailed);
}

TEST(SimLogPages, VendorKeyAndCommandDfOnlyOnDrivesWithNormalizedSmart)
{
    const std::vector<uint8_t> key = Hex("06 00 00 08 ff f0 03 04 5c 2a 00 00");
    const std::vector<uint8_t> dfh = Hex("df 00 71 0e 00 00");
    SimDisk smart(SmartDrive());
    EXPECT_EQ(RunOut(smart, LogSelect(0x00, 0, 0x00, 12), key).result.status, 0x00);
    EXPECT_EQ(RunOut(smart, dfh, {}).result.status, 0x00);
    ExpectIllegal(RunOut(smart, LogSelect(0x00, 0, 0x00, 12), Hex("06 00 00 08 ff f0 03 04 5c 2b 00 00")),
                  kInvalidFieldInList);
    ExpectIllegal(RunOut(smart, Hex("df 00 71 0f 00 00"), {}), kInvalidFieldInCdb);
    // The key is not a counter: page 06h still holds only its own.
    EXPECT_EQ(Codes(RunIn(smart, LogSense(0x06)).data), (std::vector<uint16_t>{0}));

    SimDisk plain(simtest::PlainDrive());
    ExpectIllegal(RunOut(plain, LogSelect(0x00, 0, 0x00, 12), key), kInvalidFieldInList);
    ExpectIllegal(RunOut(plain, dfh, {}), 0x20);
}

TEST(SimLogPages, TemperatureAndInformationalExceptionsFollowTheBench)
{
    SimDriveConfig config = SmartDrive();
    config.logs.temperature = 47;
    config.logs.tripTemperature = 68;
    SimDisk healthy(config);
    EXPECT_EQ(RunIn(healthy, LogSense(0x0D)).data, Hex("0d 00 00 0c  00 00 03 02 00 2f  00 01 03 02 00 44"));
    EXPECT_EQ(RunIn(healthy, LogSense(0x2F)).data, Hex("2f 00 00 08  00 00 03 04 00 00 2f 44"));

    config.logs.smartTripAscq = 0x10;
    SimDisk tripped(config);
    EXPECT_EQ(RunIn(tripped, LogSense(0x2F)).data, Hex("2f 00 00 08  00 00 03 04 5d 10 2f 44"));
}

TEST(SimLogPages, AttributePageHoldsTheAttributesInBenchOrder)
{
    SimDriveConfig config = SmartDrive();
    config.logs.temperature = 30;
    SimDisk standard(config);
    const Answer page = RunIn(standard, LogSense(0x30));
    EXPECT_EQ(Codes(page.data), (std::vector<uint16_t>{0x0004, 0x0032, 0x0037, 0x0043, 0x005B, 0x0117, 0x0145}));
    const std::vector<uint8_t> temperature = Parameter(page.data, 0x0117);
    ASSERT_EQ(temperature.size(), 22u);
    EXPECT_EQ(temperature[8], 0x01);  // 300 tenths of a degree
    EXPECT_EQ(temperature[9], 0x2C);

    config.logs.attributes = std::vector<SimAttribute>{{0x0117, {1, 2, 3}}, {0x0004, {9, 8, 7, 0}}};
    SimDisk chosen(config);
    EXPECT_EQ(RunIn(chosen, LogSense(0x30)).data, Hex("30 00 00 0f  01 17 03 03 01 02 03  00 04 03 04 09 08 07 00"));
}

TEST(SimLogPages, LogCommandsWorkWhileTheDriveIsStopped)
{
    SimDriveConfig config = SmartDrive();
    config.stopped = true;
    SimDisk disk(config);
    EXPECT_EQ(RunIn(disk, LogSense(0x00)).result.status, 0x00);
    EXPECT_EQ(RunOut(disk, LogSelect(0x02, 1, 0x00, 0), {}).result.status, 0x00);
}

// The bench's "logs" object.
class BenchLogsTest : public ::testing::Test {
protected:
    bool Load(const std::string& logs)
    {
        const std::string json = R"({"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE",
            "product": "MVX", "blocks": 1000, "logs": )" +
                                 logs + "}]}";
        bench = Bench{};
        return LoadBench(json, "bench.json", bench, error);
    }
    const SimLogConfig& Logs() const { return bench.devices.at(0).drive.logs; }

    Bench bench;
    std::string error;
};

TEST_F(BenchLogsTest, ReadsPagesCountersTemperaturesTripAndAttributes)
{
    ASSERT_TRUE(Load(R"({"pages": ["0x03", 6, "0x2F", "0x30"], "normalizedSmart": false,
        "errorCounters": {"read": {"0x0006": 4, "0x8000": 18351046656}},
        "temperature": 44, "tripTemperature": "0x41", "smartTrip": "0x10",
        "attributes": [{"code": "0x0004", "normalized": 2, "worst": 2, "threshold": 1},
                       {"code": 279, "value": "64 64 2d 00 01 2c"},
                       {"code": "0x0099", "normalized": 5, "data": "01 02"}]})"))
        << error;
    EXPECT_EQ(Logs().pages, (std::vector<uint8_t>{0x03, 0x06, 0x2F, 0x30}));
    EXPECT_EQ(Logs().normalizedSmart, false);
    EXPECT_EQ(Logs().counters.at(0x03).at(0x0006), 4u);
    EXPECT_EQ(Logs().counters.at(0x03).at(0x8000), 18351046656u);
    EXPECT_EQ(Logs().temperature, 44);
    EXPECT_EQ(Logs().tripTemperature, 0x41);
    EXPECT_EQ(Logs().smartTripAscq, 0x10);
    ASSERT_TRUE(Logs().attributes);
    const std::vector<SimAttribute>& attributes = *Logs().attributes;
    ASSERT_EQ(attributes.size(), 3u);
    EXPECT_EQ(attributes[0].value.size(), 12u) << "a known code keeps the drive model's layout";
    EXPECT_EQ(attributes[0].value[0], 2);
    EXPECT_EQ(attributes[1].code, 0x0117);
    EXPECT_EQ(attributes[1].value, Hex("64 64 2d 00 01 2c"));
    EXPECT_EQ(attributes[2].value, Hex("05 00 00 01 02"));
}

TEST_F(BenchLogsTest, RefusesWhatTheDriveCannotHave)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {R"({"pages": ["0x07"]})", "log page 07h is not one the simulated drive keeps"},
        {R"({"pages": ["0x10"]})", "page 10h is kept when the drive keeps a self-test log"},
        {R"({"pages": ["0x02", "0x02"]})", "log page 02h is listed twice"},
        {R"({"pages": ["0x2F"], "errorCounters": {"read": {"0x0001": 1}}})", "log page 03h is not in \"pages\""},
        {R"({"errorCounters": {"read": {"0x0007": 1}}})", "page 03h has no counter 0007h"},
        {R"({"errorCounters": {"nonMedium": {"0xFFF0": 1}}})", "page 06h has no counter FFF0h"},
        {R"({"errorCounters": {"read": {"6": 1}}})", "a counter's parameter code must be text such as"},
        {R"({"errorCounters": {"erase": {}}})", "unknown field \"erase\""},
        {R"({"attributes": []})", "log page 30h is not in \"pages\""},
        {R"({"pages": ["0x30"], "attributes": [{"code": 4, "value": "01", "worst": 3}]})",
         "give \"value\" or the attribute's fields, not both"},
        {R"({"pages": ["0x30"], "attributes": [{"code": 4, "data": "1 2"}]})", "\"data\" must be at most 252 bytes"},
        {R"({"pages": ["0x30"], "attributes": [{"normalized": 4}]})", "missing required field \"code\""},
        {R"({"temperature": 300})", "\"temperature\" must be a number from 0 to 255"},
        {R"({"smartTrip": true})", "\"smartTrip\" must be a number from 0 to 255"},
        {R"({"page": []})", "unknown field \"page\""},
        {R"([])", "\"logs\" must be an object"},
    };
    for (const auto& [logs, message] : cases) {
        EXPECT_FALSE(Load(logs)) << logs;
        EXPECT_NE(error.find(message), std::string::npos) << logs << "\n" << error;
        EXPECT_EQ(error.rfind("bench.json:", 0), 0u) << error;
    }
}

}  // namespace
