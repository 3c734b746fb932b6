// Bench files: what loads, and the message a broken file gets.
#include <gtest/gtest.h>

#include <set>

#include "sim/bench_loader.h"
#include "sim/default_bench.h"
#include "sim/sim_selftest.h"
#include "sim/sim_catalog.h"
#include "sim_test_support.h"

namespace {

// The message LoadBench gives for text, or "" when it loads.
std::string LoadError(const std::string& text)
{
    Bench bench;
    std::string error;
    return LoadBench(text, "bench.json", bench, error) ? std::string() : error;
}

// A one-device bench with `extra` added to the device (its line 4).
std::string WithDevice(const std::string& extra)
{
    return "{\n"
           "  \"buses\": 2,\n"
           "  \"devices\": [ {\n"
           "    \"bus\": 0, \"targetId\": 1, \"vendor\": \"V\", \"product\": \"P\", \"blocks\": 10" +
           extra +
           "\n"
           "  } ]\n"
           "}\n";
}

}  // namespace

TEST(BenchLoader, DefaultBenchShowsBothBusesAndEveryKindOfDrive)
{
    Bench bench;
    std::string error;
    ASSERT_TRUE(LoadBench(DefaultBenchJson(), kDefaultBenchName, bench, error)) << error;
    EXPECT_EQ(bench.buses, 2);
    ASSERT_EQ(bench.devices.size(), 7u);

    int makerOnBus0 = 0;
    bool otherVendor = false, block4096 = false, beyond2TiB = false, cdRom = false;
    for (size_t i = 0; i < bench.devices.size(); ++i) {
        const BenchDevice& device = bench.devices[i];
        EXPECT_EQ(device.driveNumber, i);
        EXPECT_TRUE(device.inAdapterList);
        const SimDriveConfig& drive = device.drive;
        const bool maker = drive.vendor == "MORVANE";
        if (device.bus == 0) {
            EXPECT_TRUE(maker);
            ++makerOnBus0;
        }
        otherVendor |= device.bus == 1 && !maker && drive.deviceType == 0;
        block4096 |= maker && drive.blockLength == 4096;
        beyond2TiB |= maker && drive.blocks * drive.blockLength > (uint64_t{1} << 41);
        cdRom |= drive.deviceType == 5;
        EXPECT_FALSE(drive.serial.empty());
        EXPECT_FALSE(drive.unitAttentionAtStart);  // discovery must see capacities
        EXPECT_TRUE(drive.faults.empty());
    }
    EXPECT_EQ(makerOnBus0, 3);
    EXPECT_EQ(bench.devices[0].targetId, 0);
    EXPECT_EQ(bench.devices[1].targetId, 1);
    EXPECT_EQ(bench.devices[2].targetId, 3);
    EXPECT_TRUE(otherVendor && block4096 && beyond2TiB && cdRom);

    // The fuzz corpus seeds from the same text.
    EXPECT_EQ(simtest::ReadText(std::string(KESTRION_TEST_DATA) + "/../fuzz/corpus/bench/default.json"),
              std::string(DefaultBenchJson()));
}

TEST(BenchLoader, MakeBenchCatalogWithoutAFileIsTheDefault)
{
    std::string error = "stale";
    auto catalog = MakeBenchCatalog("", error);
    ASSERT_TRUE(catalog) << error;
    EXPECT_TRUE(error.empty());
    auto* sim = static_cast<SimCatalog*>(catalog.get());
    EXPECT_EQ(sim->DriveCount(), 7u);
    EXPECT_EQ(sim->Disk(6)->Config().deviceType, 5);
}

TEST(BenchLoader, FilesLoadAndNameThemselvesInMessages)
{
    std::string error;
    auto catalog = MakeBenchCatalog(simtest::DataPath("two_drives.json"), error);
    ASSERT_TRUE(catalog) << error;
    auto* sim = static_cast<SimCatalog*>(catalog.get());
    EXPECT_EQ(sim->Disk(1)->Config().blocks, 2000u);
    EXPECT_EQ(sim->Disk(1)->Config().blockLength, 4096u);

    const std::string broken = simtest::DataPath("broken_block_length.json");
    EXPECT_FALSE(MakeBenchCatalog(broken, error));
    EXPECT_EQ(error, broken + ":12: \"blockLength\" must be a number from 512 to 65535");

    const std::string missing = simtest::DataPath("no_such_bench.json");
    EXPECT_FALSE(MakeBenchCatalog(missing, error));
    EXPECT_EQ(error, "cannot read bench file \"" + missing + "\": No such file or directory");

    EXPECT_FALSE(MakeBenchCatalog(std::string(KESTRION_TEST_DATA), error));
    EXPECT_EQ(error, "cannot read bench file \"" + std::string(KESTRION_TEST_DATA) + "\": Is a directory");
}

TEST(BenchLoader, SyntaxErrorsNameTheirLine)
{
    EXPECT_EQ(LoadError(""), "bench.json:1: not valid JSON: syntax error while parsing value - unexpected end of input; "
                             "expected '[', '{', or a literal");
    EXPECT_EQ(LoadError("{\n  \"buses\": 1,\n  \"devices\": [\n    { \"bus\": 0, }\n  ]\n}\n").substr(0, 29),
              "bench.json:4: not valid JSON:");
    EXPECT_EQ(LoadError("{\n  \"buses\": 1\n  \"devices\": []\n}").substr(0, 29), "bench.json:3: not valid JSON:");
    EXPECT_EQ(LoadError("{\"buses\": 1, \"devices\": [\n\n").substr(0, 29), "bench.json:3: not valid JSON:");
    EXPECT_EQ(LoadError("{\n\"buses\": \"a\nb\"}").substr(0, 29), "bench.json:2: not valid JSON:");
    EXPECT_EQ(LoadError("{\n\n" + std::string(40, '[') + std::string(40, ']') + "}"),
              "bench.json:3: values nest deeper than 32 levels");
    EXPECT_EQ(LoadError("[]"), "bench.json:1: a bench must be a JSON object");
    EXPECT_EQ(LoadError("{\n \"buses\": 1,\n \"buses\": 2,\n \"devices\": []\n}"),
              "bench.json:3: \"buses\" is given twice in one object");
}

TEST(BenchLoader, FieldErrorsNameTheirLine)
{
    // The messages themselves: tests/data/sim/bench_fields.scsi.
    EXPECT_EQ(LoadError(WithDevice("")), "");
    EXPECT_EQ(LoadError(WithDevice(",\n\n\"vendor2\": 1")), "bench.json:6: unknown field \"vendor2\"");
    EXPECT_EQ(LoadError(WithDevice(",\n\"lastLba\": 9")), "bench.json:5: give \"blocks\" or \"lastLba\", not both");
    EXPECT_EQ(LoadError(WithDevice(",\n\"faults\": [\n { \"action\": \"status\" } ]")),
              "bench.json:6: missing required field \"status\"");

    // Bus beyond the bench's buses; missing fields at the device's line.
    EXPECT_EQ(LoadError("{\"buses\": 2, \"devices\": [\n{\"bus\": 2, \"targetId\": 0, \"vendor\": \"V\", "
                        "\"product\": \"P\", \"blocks\": 1}]}"),
              "bench.json:2: \"bus\" must be a number from 0 to 1");
    EXPECT_EQ(LoadError("{\"buses\": 1, \"devices\": [\n\n{\"bus\": 0, \"vendor\": \"V\", \"product\": \"P\"}]}"),
              "bench.json:3: missing required field \"targetId\"");
    EXPECT_EQ(LoadError("{\"buses\": 1, \"devices\": [\n{\"bus\": 0, \"targetId\": 0, \"vendor\": \"V\", "
                        "\"product\": \"P\"}]}"),
              "bench.json:2: missing required field \"blocks\" (or \"lastLba\")");
    EXPECT_EQ(LoadError("{\"buses\": 9, \"devices\": []}"), "bench.json:1: \"buses\" must be a number from 1 to 8");
    EXPECT_EQ(LoadError("{\"buses\": 1}"), "bench.json:1: missing required field \"devices\"");
}

TEST(BenchLoader, DriveNumbersAndAddressesMustBeUnique)
{
    const std::string device = "\"vendor\": \"V\", \"product\": \"P\", \"blocks\": 1";
    EXPECT_EQ(LoadError("{\"buses\": 1, \"devices\": [\n"
                        "{\"bus\": 0, \"targetId\": 0, " + device + "},\n"
                        "{\"bus\": 0, \"targetId\": 1, \"driveNumber\": 0, " + device + "}]}"),
              "bench.json:3: drive number 0 is already used on line 2");
    // Default numbers are positions: an explicit 1 on the first device
    // collides with the second's default.
    EXPECT_EQ(LoadError("{\"buses\": 1, \"devices\": [\n"
                        "{\"bus\": 0, \"targetId\": 0, \"driveNumber\": 1, " + device + "},\n"
                        "{\"bus\": 0, \"targetId\": 1, " + device + "}]}"),
              "bench.json:3: drive number 1 is already used on line 2");
    EXPECT_EQ(LoadError("{\"buses\": 1, \"devices\": [\n"
                        "{\"bus\": 0, \"targetId\": 4, " + device + "},\n\n"
                        "{\"bus\": 0, \"targetId\": 4, " + device + "}]}"),
              "bench.json:4: bus 0 target id 4 LUN 0 is already used on line 2");
    EXPECT_EQ(LoadError("{\"buses\": 1, \"devices\": [\n"
                        "{\"bus\": 0, \"targetId\": 4, " + device + "},\n"
                        "{\"bus\": 0, \"targetId\": 4, \"lun\": 1, " + device + "}]}"),
              "");
    // Drive numbers go to 999: a thousand devices fit, the next is refused
    // on its own line.
    const auto devices = [&](int count) {
        std::string text = "{\"buses\": 1, \"devices\": [\n";
        for (int i = 0; i < count; ++i)
            text += std::string(i ? ",\n" : "") + "{\"bus\": 0, \"targetId\": " + std::to_string(i % 256) +
                    ", \"lun\": " + std::to_string(i / 256) + ", " + device + "}";
        return text + "]}";
    };
    EXPECT_EQ(LoadError(devices(1000)), "");
    EXPECT_EQ(LoadError(devices(1001)),
              "bench.json:1002: more devices than drive numbers: a bench holds at most 1000 (drive numbers 0 to 999)");
}

TEST(BenchLoader, EveryFieldReachesTheDrive)
{
    Bench bench;
    std::string error;
    ASSERT_TRUE(LoadBench(R"({
      "buses": 4,
      "adapter": { "maximumTransferLength": 4096, "adapterUsesPio": true },
      "devices": [ {
        "driveNumber": 12, "bus": 3, "targetId": 15, "lun": 2, "inAdapterList": false, "claimed": false,
        "adapterListError": 5, "capabilitiesError": 19, "deviceType": "0x05", "peripheralQualifier": 1,
        "removable": true, "version": 6, "vendor": "VEND", "product": "PROD", "revision": "R1",
        "serial": "SERIAL-NUMBER-OF-20", "serialInInquiry": false,
        "capabilities": { "relAdr": true, "trmIop": true },
        "lastLba": 9223372036854775807, "blockLength": 520,
        "unitAttention": true, "descriptorSense": true, "stopped": true, "notReadyCommands": 7,
        "faults": [ { "opcode": "0x28", "senseKey": 3, "asc": "0x11", "ascq": 1, "times": 2, "afterCommands": 10 },
                    { "action": "callFails" }, { "action": "hang", "opcode": 0, "seconds": 30 },
                    { "action": "status", "status": "0x18" }, { "action": "recovered", "bytes": 100 },
                    { "action": "recovered", "asc": 24, "ascq": 6 }, { "action": "shortTransfer", "bytes": 0 } ],
        "logs": { "ppc": "rejected" }
      } ]
    })", "bench.json", bench, error)) << error;
    EXPECT_EQ(bench.buses, 4);
    EXPECT_EQ(bench.capabilities.maximumTransferLength, 4096u);
    EXPECT_EQ(bench.capabilities.adapterUsesPio, 1);
    const BenchDevice& device = bench.devices.at(0);
    EXPECT_EQ(device.driveNumber, 12u);
    EXPECT_EQ(device.bus, 3);
    EXPECT_EQ(device.targetId, 15);
    EXPECT_EQ(device.lun, 2);
    EXPECT_FALSE(device.inAdapterList);
    EXPECT_FALSE(device.claimed);
    EXPECT_EQ(device.adapterListError, 5);
    EXPECT_EQ(device.capabilitiesError, 19);
    const SimDriveConfig& drive = device.drive;
    EXPECT_EQ(drive.deviceType, 5);
    EXPECT_EQ(drive.peripheralQualifier, 1);
    EXPECT_TRUE(drive.removable);
    EXPECT_EQ(drive.version, 6);
    EXPECT_EQ(drive.revision, "R1");
    EXPECT_TRUE(drive.capabilities.relAdr && drive.capabilities.trmIop && !drive.capabilities.sync);
    EXPECT_EQ(drive.blocks, uint64_t{1} << 63);
    EXPECT_EQ(drive.blockLength, 520u);
    EXPECT_TRUE(drive.unitAttentionAtStart && drive.descriptorSense && drive.stopped);
    EXPECT_EQ(drive.notReadyCommands, 7u);
    EXPECT_EQ(drive.serial, "SERIAL-NUMBER-OF-20");
    EXPECT_FALSE(drive.serialInStandardInquiry);
    EXPECT_EQ(drive.logs.ppc, SimPpc::Rejected);
    // What each fault does is in tests/data/sim/faults.scsi; here, that all arrive.
    ASSERT_EQ(drive.faults.size(), 7u);
    EXPECT_EQ(drive.faults[0].afterCommands, 10u);
    EXPECT_EQ(drive.faults[2].hangSeconds, 30u);
    EXPECT_EQ(drive.faults[4].asc, 0x17) << "RECOVERED DATA WITH RETRIES";
}

TEST(BenchLoader, DefaultBenchShowsEveryKindOfSelfTestOutcome)
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
