// Bench files: what loads, and the message a broken file gets.
#include <gtest/gtest.h>

#include "sim/bench_loader.h"
#include "sim/default_bench.h"
#include "sim/sim_catalog.h"
#include "sim_test_support.h"
#include "support/case_file.h"

namespace {

// The message LoadBench gives for text, or "-" when it loads.
std::string LoadError(const std::string& text)
{
    Bench bench;
    std::string error;
    return LoadBench(text, "bench.json", bench, error) ? std::string("-") : error;
}

}  // namespace

// What it shows (kinds of drive, capacities as discovery reads them), the
// CLI's bench script checks.
TEST(BenchLoader, DefaultBenchIsWhatACatalogWithoutAFileHolds)
{
    std::string error = "stale";
    auto catalog = MakeBenchCatalog("", error);
    ASSERT_TRUE(catalog) << error;
    EXPECT_TRUE(error.empty());
    auto* sim = static_cast<SimCatalog*>(catalog.get());
    ASSERT_EQ(sim->DriveCount(), 7u);
    EXPECT_EQ(sim->Disk(6)->Config().deviceType, 5);
    // The fuzz corpus seeds from the same text.
    EXPECT_EQ(ReadTextFile(std::string(KESTRION_TEST_DATA) + "/../fuzz/corpus/bench/default.json"),
              std::string(DefaultBenchJson()));
}

TEST(BenchLoader, FilesLoadAndNameThemselvesInMessages)
{
    std::string error;
    EXPECT_TRUE(MakeBenchCatalog(TestDataPath("sim/two_drives.json"), error)) << error;

    const std::string broken = TestDataPath("sim/broken_block_length.json");
    EXPECT_FALSE(MakeBenchCatalog(broken, error));
    EXPECT_EQ(error, broken + ":12: \"blockLength\" must be a number from 512 to 65535");

    const std::string missing = TestDataPath("sim/no_such_bench.json");
    EXPECT_FALSE(MakeBenchCatalog(missing, error));
    EXPECT_EQ(error, "cannot read bench file \"" + missing + "\": No such file or directory");

    EXPECT_FALSE(MakeBenchCatalog(std::string(KESTRION_TEST_DATA), error));
    EXPECT_EQ(error, "cannot read bench file \"" + std::string(KESTRION_TEST_DATA) + "\": Is a directory");
}

TEST(BenchLoader, BrokenFilesGetAMessageNamingTheirLine)
{
    for (const CaseLine& c : ReadCaseFile("sim/bench_errors.txt")) {
        SCOPED_TRACE(CaseTrace("bench_errors.txt", c));
        const std::string error = LoadError(Unescaped(c[0]));
        if (c[1].ends_with("...")) {
            EXPECT_EQ(error.substr(0, c[1].size() - 3), c[1].substr(0, c[1].size() - 3));
        } else {
            EXPECT_EQ(error, c[1]);
        }
    }
}

// Drive numbers go to 999: a thousand devices fit, the next is refused on its
// own line.
TEST(BenchLoader, AThousandDevicesAtMost)
{
    const auto devices = [](int count) {
        std::string text = "{\"buses\": 1, \"devices\": [\n";
        for (int i = 0; i < count; ++i)
            text += std::string(i ? ",\n" : "") + "{\"bus\": 0, \"targetId\": " + std::to_string(i % 256) +
                    ", \"lun\": " + std::to_string(i / 256) + ", \"vendor\": \"V\", \"product\": \"P\", \"blocks\": 1}";
        return text + "]}";
    };
    EXPECT_EQ(LoadError(devices(1000)), "-");
    EXPECT_EQ(LoadError(devices(1001)),
              "bench.json:1002: more devices than drive numbers: a bench holds at most 1000 (drive numbers 0 to 999)");
}

// The drive's own fields are read back by the scripts in tests/data/sim, the
// addresses and adapter errors by discovery (tests/data/drives); here, what
// neither reads.
TEST(BenchLoader, FieldsNoScriptReadsBackArrive)
{
    Bench bench;
    std::string error;
    ASSERT_TRUE(LoadBench(R"({
      "buses": 4, "adapter": { "maximumTransferLength": 4096, "adapterUsesPio": true },
      "devices": [ { "bus": 3, "targetId": 15, "lun": 2, "vendor": "VEND", "product": "PROD",
                     "lastLba": 9223372036854775807, "faults": [ { "action": "recovered", "bytes": 100 } ] } ]
    })", "bench.json", bench, error)) << error;
    EXPECT_EQ(bench.capabilities.maximumTransferLength, 4096u);
    EXPECT_EQ(bench.capabilities.adapterUsesPio, 1);
    const BenchDevice& device = bench.devices.at(0);
    EXPECT_EQ(device.lun, 2);
    EXPECT_EQ(device.drive.blocks, uint64_t{1} << 63);
    ASSERT_EQ(device.drive.faults.size(), 1u);
    EXPECT_EQ(device.drive.faults[0].asc, 0x17) << "RECOVERED DATA WITH RETRIES";
}
