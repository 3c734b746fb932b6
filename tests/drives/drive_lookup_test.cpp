#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drives/drive_lookup.h"
#include "platform/linux_catalog.h"
#include "scsi/string_format.h"
#include "sim/default_bench.h"
#include "sim/sim_catalog.h"
#include "support/bench_fixture.h"
#include "support/counting_catalog.h"

namespace {

constexpr int kNone = -1;

// A name, the drive it names (kNone: none), how it fails otherwise, a
// piece of the message, and how many devices the lookup may open.
struct NameCase {
    std::string name;
    int driveNumber;
    LookupFailure failure;
    std::string said;
    size_t opens = 0;
};

void Expect(DeviceCatalog& catalog, const NameCase& c)
{
    CountingCatalog counting(catalog);
    const DriveLookup lookup = LookUpDrive(counting, c.name);
    if (c.driveNumber == kNone) {
        EXPECT_FALSE(lookup.driveNumber.has_value()) << *lookup.driveNumber;
    } else {
        ASSERT_TRUE(lookup.driveNumber.has_value()) << lookup.message;
        EXPECT_EQ(*lookup.driveNumber, static_cast<uint32_t>(c.driveNumber));
    }
    EXPECT_EQ(lookup.failure, c.failure) << lookup.message;
    EXPECT_NE(lookup.message.find(c.said), std::string::npos) << lookup.message;
    EXPECT_EQ(counting.opened.size(), c.opens);
}

// The built-in bench: drive 1 keeps its serial in standard INQUIRY, drive 5
// only in VPD page 80h; drive 4's name is the NAA designator of its VPD page
// 83h. Serials and world wide names are asked of every drive.
class BenchNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(BenchNames, LeadToTheirDrive)
{
    std::string error;
    const auto catalog = MakeBenchCatalogFromJson(std::string(DefaultBenchJson()), error);
    ASSERT_TRUE(catalog) << error;
    Expect(*catalog, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BenchNames,
    ::testing::Values(NameCase{"2", 2, LookupFailure::None, ""},
                      NameCase{"\\\\.\\physicaldrive3", 3, LookupFailure::None, ""},
                      NameCase{"\\\\.\\PhysicalDrive3", 3, LookupFailure::None, ""},
                      NameCase{"3KB11090", 1, LookupFailure::None, "", 7},
                      NameCase{"5EZ10046Q7K2M0R4T8W1", 5, LookupFailure::None, "", 7},
                      NameCase{"naa.359cce7a3ab40c7b", 4, LookupFailure::None, "", 7},
                      NameCase{"NAA.359CCE7A3AB40C7B", 4, LookupFailure::None, "", 7},
                      NameCase{"0x359cce7a3ab40c7b", 4, LookupFailure::None, "", 7},
                      NameCase{"3KB1109", kNone, LookupFailure::CannotReach,
                               "no drive has the serial number 3KB1109 (see 'kestrion-cli list')", 7},
                      NameCase{"naa.5000c500a1b2c3d4", kNone, LookupFailure::CannotReach,
                               "no drive has the world wide name naa.5000c500a1b2c3d4", 7},
                      NameCase{"\\\\.\\physicaldrive63", kNone, LookupFailure::CannotReach,
                               "cannot open \\\\.\\physicaldrive63: no such device"},
                      NameCase{"/dev/sda", kNone, LookupFailure::CannotReach, "cannot open /dev/sda: no such device"}));

// One drive on two paths answers to the same serial and name on both; a
// serial of digits alone is a serial where no drive has that number.
TEST(OwnBenchNames, LeadToTheirDrive)
{
    std::string error;
    const std::string port = R"({"bus": 0, "targetId": %d, "vendor": "MORVANE", "product": "MVX-2P",
                                 "revision": "0100", "serial": "%s", "blocks": 1001, "blockLength": 512})";
    const auto catalog = MakeBenchCatalogFromJson(Bench(1, StringPrintf(port.c_str(), 1, "SN1") + "," +
                                                               StringPrintf(port.c_str(), 2, "SN1") + "," +
                                                               StringPrintf(port.c_str(), 3, "4711")),
                                                  error);
    ASSERT_TRUE(catalog) << error;
    const NameCase cases[] = {
        {"SN1", kNone, LookupFailure::Ambiguous,
         "the serial number SN1 fits more than one device (\\\\.\\physicaldrive0, \\\\.\\physicaldrive1; "
         "one drive on two paths?): name one by its path",
         3},
        {"4711", 2, LookupFailure::None, "", 3},
        {"2", 2, LookupFailure::None, ""},
        {"3", kNone, LookupFailure::CannotReach, "cannot open \\\\.\\physicaldrive3: no such device", 3},
    };
    for (const NameCase& c : cases) Expect(*catalog, c);
}

// A machine's tree (tests/data/linux): sysfs with block devices, sg nodes and
// the identifiers the kernel read; a device folder with by-id and by-path
// links. What sysfs shows is enough: nothing is opened but for names it
// cannot answer.
const std::string kLinux = std::string(KESTRION_TEST_DATA) + "/linux";
const std::string kDev = kLinux + "/dev";

class LinuxNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(LinuxNames, LeadToTheirDrive)
{
    LinuxCatalog catalog(kLinux + "/sysfs", kDev);
    NameCase c = GetParam();
    if (c.name.starts_with("dev/")) c.name = kLinux + "/" + c.name;
    Expect(catalog, c);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LinuxNames,
    ::testing::Values(
        NameCase{"dev/sg1", 1, LookupFailure::None, ""},
        NameCase{"dev/sda", 0, LookupFailure::None, ""},
        NameCase{"dev/sdc", 10, LookupFailure::None, ""},
        NameCase{"dev/disk/by-id/scsi-35000c500a1b2c3d4", 0, LookupFailure::None, ""},
        NameCase{"dev/disk/by-id/wwn-0x5000c500a1b2c3d4", 0, LookupFailure::None, ""},
        NameCase{"dev/disk/by-path/pci-0000:00:10.0-scsi-0:0:2:0", 1, LookupFailure::None, ""},
        NameCase{"naa.5000c500a1b2c3d4", 0, LookupFailure::None, ""},
        NameCase{"0x5000C500A1B2C3D4", 0, LookupFailure::None, ""},
        NameCase{"eui.0011223344556677", 10, LookupFailure::None, ""},
        NameCase{"K7Q2ZZ01", 0, LookupFailure::None, ""},
        NameCase{"OBX00042", 10, LookupFailure::None, ""},
        NameCase{"AW0000123", kNone, LookupFailure::Ambiguous, "/sg1, " + kDev + "/sg11; one drive on two paths?"},
        NameCase{"naa.5000c50000000123", kNone, LookupFailure::Ambiguous, "/sg1, " + kDev + "/sg11"},
        NameCase{"dev/sda1", kNone, LookupFailure::CannotReach,
                 "/sda1: a partition of " + kDev + "/sda, not a drive; name the drive itself"},
        NameCase{"dev/disk/by-id/wwn-0x5000c500a1b2c3d4-part1", kNone, LookupFailure::CannotReach, "a partition of"},
        NameCase{"dev/sr0", kNone, LookupFailure::CannotReach, "/sr0: the drive has no SCSI generic node"},
        NameCase{"dev/nvme0n1", kNone, LookupFailure::CannotReach, "/nvme0n1: not a SCSI drive"},
        NameCase{"dev/disk/by-id/scsi-SARDWYN_AD-900_GONE", kNone, LookupFailure::CannotReach,
                 "/scsi-SARDWYN_AD-900_GONE: no such device"},
        NameCase{"dev/null", kNone, LookupFailure::CannotReach, "/null: not a SCSI generic device", 1},
        // Only the four devices sysfs shows nothing of are asked, and here
        // none of them opens.
        NameCase{"K7Q2ZZ02", kNone, LookupFailure::CannotReach,
                 "no drive has the serial number K7Q2ZZ02 (see 'kestrion-cli list'); 4 devices could not be asked:\n"
                 "  cannot open " + kDev + "/sg2: no such device",
                 4}));

}  // namespace
