// Every name a user may give a drive, on the built-in bench, a bench with
// one drive on two paths and a Linux machine's tree: cases in
// tests/data/drives/lookup_names.txt.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "drives/drive_lookup.h"
#include "platform/linux_catalog.h"
#include "scsi/string_format.h"
#include "sim/default_bench.h"
#include "sim/sim_catalog.h"
#include "support/bench_fixture.h"
#include "support/case_file.h"
#include "support/counting_catalog.h"

namespace {

std::string Replaced(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

TEST(DriveLookup, EveryFormOfNameLeadsToItsDriveOrSaysWhyNot)
{
    const std::string linux = std::string(KESTRION_TEST_DATA) + "/linux";
    const std::string port = R"({"bus": 0, "targetId": %d, "vendor": "MORVANE", "product": "MVX-2P",
                                 "revision": "0100", "serial": "%s", "blocks": 1001, "blockLength": 512})";
    std::string error;
    std::map<std::string, std::unique_ptr<DeviceCatalog>> catalogs;
    catalogs["bench"] = MakeBenchCatalogFromJson(std::string(DefaultBenchJson()), error);
    catalogs["two-paths"] = MakeBenchCatalogFromJson(
        Bench(1, StringPrintf(port.c_str(), 1, "SN1") + "," + StringPrintf(port.c_str(), 2, "SN1") + "," +
                     StringPrintf(port.c_str(), 3, "4711")),
        error);
    catalogs["linux"] = std::make_unique<LinuxCatalog>(linux + "/sysfs", linux + "/dev");
    const std::map<std::string, LookupFailure> failures{
        {"none", LookupFailure::None}, {"cannot-reach", LookupFailure::CannotReach}, {"ambiguous", LookupFailure::Ambiguous}};

    const auto cases = ReadCaseFile("drives/lookup_names.txt");
    ASSERT_EQ(cases.size(), 36u);
    for (const CaseLine& c : cases) {
        SCOPED_TRACE(CaseTrace("lookup_names.txt", c) + " " + c[1]);
        ASSERT_TRUE(catalogs.at(c[0])) << error;
        CountingCatalog counting(*catalogs.at(c[0]));
        const std::string name = c[1].starts_with("dev/") ? linux + "/" + c[1] : c[1];
        const DriveLookup lookup = LookUpDrive(counting, name);
        if (c[2] == "-") {
            EXPECT_FALSE(lookup.driveNumber.has_value()) << *lookup.driveNumber;
        } else {
            EXPECT_EQ(lookup.driveNumber, std::optional<uint32_t>(std::stoul(c[2]))) << lookup.message;
        }
        EXPECT_EQ(lookup.failure, failures.at(c[3])) << lookup.message;
        EXPECT_NE(lookup.message.find(Replaced(Replaced(c[4], "$DEV", linux + "/dev"), "\\n", "\n")), std::string::npos)
            << lookup.message;
        EXPECT_EQ(counting.opened.size(), std::stoul(c[5]));
    }
}

}  // namespace
