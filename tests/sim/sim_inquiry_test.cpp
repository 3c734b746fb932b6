// INQUIRY answers checked against SPC-4's layouts byte by byte.
#include <gtest/gtest.h>

#include "scsi/byte_order.h"
#include "sim/bench.h"
#include "sim/bench_loader.h"
#include "sim/default_bench.h"
#include "sim/sim_catalog.h"
#include "sim_test_support.h"

using simtest::Hex;
using simtest::RunIn;

namespace {

std::vector<uint8_t> InquiryCdb(uint8_t byte1, uint8_t page, uint16_t allocation)
{
    std::vector<uint8_t> cdb{0x12, byte1, page, 0, 0, 0x00};
    StoreBe16(cdb.data() + 3, allocation);
    return cdb;
}

void ExpectInvalidField(const simtest::Answer& answer, uint8_t fieldByte, int bit)
{
    ASSERT_EQ(answer.result.status, 0x02);
    ASSERT_EQ(answer.result.sense.size(), 18u);
    EXPECT_EQ(answer.SenseKey(), 0x05);
    EXPECT_EQ(answer.Asc(), 0x24);
    EXPECT_EQ(answer.Ascq(), 0x00);
    // SKS bytes: SKSV, C/D = CDB, then BPV and the bit when given.
    const uint8_t expected15 = static_cast<uint8_t>(0xC0 | (bit >= 0 ? 0x08 | bit : 0));
    EXPECT_EQ(answer.result.sense[15], expected15);
    EXPECT_EQ(answer.result.sense[16], 0x00);
    EXPECT_EQ(answer.result.sense[17], fieldByte);
}

}  // namespace

TEST(SimInquiry, StandardDataOfTheDefaultBenchMatchesTheFixture)
{
    Bench bench;
    std::string error;
    ASSERT_TRUE(LoadBench(DefaultBenchJson(), kDefaultBenchName, bench, error)) << error;
    SimDisk disk(bench.devices.at(0).drive);

    const auto answer = RunIn(disk, InquiryCdb(0, 0, 255), 255);
    ASSERT_EQ(answer.result.status, 0x00);
    EXPECT_EQ(answer.data, simtest::HexFixture("inquiry_default_drive0.hex"));
}

TEST(SimInquiry, CapabilityBitsLandInBytes3_6_7)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.capabilities = {true, true, true, true, true, true, true, true, true, true, true, true};
    config.removable = true;
    config.deviceType = 0x05;
    config.peripheralQualifier = 1;
    SimDisk all(config);
    auto data = RunIn(all, InquiryCdb(0, 0, 96)).data;
    ASSERT_EQ(data.size(), 96u);
    EXPECT_EQ(data[0], 0x25);  // qualifier 001b, type 05h
    EXPECT_EQ(data[1], 0x80);  // RMB
    EXPECT_EQ(data[3], 0xC2);  // AERC, TrmIOP, format 2
    EXPECT_EQ(data[6], 0x03);  // ADDR32, ADDR16
    EXPECT_EQ(data[7], 0xFF);

    SimDriveConfig single = simtest::PlainDrive();
    single.capabilities.tranDis = true;
    single.capabilities.addr32 = true;
    SimDisk one(single);
    data = RunIn(one, InquiryCdb(0, 0, 96)).data;
    EXPECT_EQ(data[3], 0x02);
    EXPECT_EQ(data[6], 0x02);
    EXPECT_EQ(data[7], 0x04);
}

TEST(SimInquiry, ShortIdentityFieldsAreBlankPadded)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.vendor = "AB";
    config.product = "P";
    config.revision = "";
    config.serial = "12";
    SimDisk disk(config);
    const auto data = RunIn(disk, InquiryCdb(0, 0, 255), 255).data;
    EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 44), "AB      P                   12      ");
}

TEST(SimInquiry, AllocationLengthAndBufferCutTheData)
{
    SimDisk disk(simtest::PlainDrive());
    const auto full = RunIn(disk, InquiryCdb(0, 0, 255), 255);
    ASSERT_EQ(full.data.size(), 96u);

    // Truncation is not an error; the additional length still tells the full size.
    const auto five = RunIn(disk, InquiryCdb(0, 0, 5), 255);
    EXPECT_EQ(five.result.status, 0x00);
    EXPECT_EQ(five.data, std::vector<uint8_t>(full.data.begin(), full.data.begin() + 5));
    EXPECT_EQ(five.data[4], 0x5B);

    // A 16-bit allocation length (bytes 3-4).
    EXPECT_EQ(RunIn(disk, InquiryCdb(0, 0, 0x0124), 1024).data.size(), 96u);
    // A smaller buffer than the allocation length: what fits.
    EXPECT_EQ(RunIn(disk, InquiryCdb(0, 0, 255), 36).data, std::vector<uint8_t>(full.data.begin(), full.data.begin() + 36));
    // Allocation length zero moves nothing and is no error.
    const auto none = RunIn(disk, InquiryCdb(0, 0, 0), 255);
    EXPECT_EQ(none.result.status, 0x00);
    EXPECT_TRUE(none.data.empty());
}

TEST(SimInquiry, VitalProductDataPages)
{
    SimDisk disk(simtest::PlainDrive());
    EXPECT_EQ(RunIn(disk, InquiryCdb(1, 0x00, 255)).data, Hex("00 00 00 03 00 80 83"));
    EXPECT_EQ(RunIn(disk, InquiryCdb(1, 0x80, 255)).data, Hex("00 80 00 08 53 4E 30 30 30 30 30 31"));

    const auto id = RunIn(disk, InquiryCdb(1, 0x83, 255)).data;
    ASSERT_EQ(id.size(), 4u + 12u + 36u);
    EXPECT_EQ(std::vector<uint8_t>(id.begin(), id.begin() + 4), Hex("00 83 00 30"));
    // NAA designator: binary code set, logical unit, type 3, 8 bytes, NAA 3h.
    EXPECT_EQ(std::vector<uint8_t>(id.begin() + 4, id.begin() + 8), Hex("01 03 00 08"));
    EXPECT_EQ(id[8] >> 4, 0x3);
    // T10 vendor ID designator: ASCII, type 1, vendor + product + serial.
    EXPECT_EQ(std::vector<uint8_t>(id.begin() + 16, id.begin() + 20), Hex("02 01 00 20"));
    EXPECT_EQ(std::string(id.begin() + 20, id.end()), "MORVANE MVX-TEST        SN000001");

    // A serial shorter than the field is right-aligned.
    SimDriveConfig shortSerial = simtest::PlainDrive();
    shortSerial.serial = "42";
    SimDisk other(shortSerial);
    EXPECT_EQ(RunIn(other, InquiryCdb(1, 0x80, 255)).data, Hex("00 80 00 08 20 20 20 20 20 20 34 32"));
    // Different drives, different names.
    EXPECT_NE(RunIn(other, InquiryCdb(1, 0x83, 255)).data, id);

    // A drive that keeps its serial only in page 80h, as most current ones.
    SimDriveConfig vpdOnly = simtest::PlainDrive();
    vpdOnly.serial = "ZA1B2C3D0000C1234567";
    vpdOnly.serialInStandardInquiry = false;
    SimDisk current(vpdOnly);
    const auto standard = RunIn(current, InquiryCdb(0, 0, 96)).data;
    EXPECT_EQ(std::string(standard.begin() + 36, standard.begin() + 44), "        ");
    const auto serial = RunIn(current, InquiryCdb(1, 0x80, 255)).data;
    EXPECT_EQ(std::string(serial.begin() + 4, serial.end()), vpdOnly.serial);
    EXPECT_EQ(serial[3], 20);
}

TEST(SimInquiry, InvalidRequestsAreRefusedWithFieldPointer)
{
    SimDisk disk(simtest::PlainDrive());
    ExpectInvalidField(RunIn(disk, InquiryCdb(1, 0x81, 255)), 2, -1);  // page not supported
    ExpectInvalidField(RunIn(disk, InquiryCdb(0, 0x80, 255)), 2, -1);  // page without EVPD
    ExpectInvalidField(RunIn(disk, InquiryCdb(2, 0x00, 255)), 1, 1);   // CmdDt
    // NACA in the control byte: no ACA here.
    ExpectInvalidField(RunIn(disk, {0x12, 0, 0, 0, 255, 0x04}), 5, 2);
}

TEST(SimInquiry, ServedWhileNotReadyAndWithUnitAttentionPending)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.stopped = true;
    config.unitAttentionAtStart = true;
    SimDisk disk(config);
    EXPECT_EQ(RunIn(disk, InquiryCdb(0, 0, 36)).result.status, 0x00);
    EXPECT_EQ(disk.PendingUnitAttentions(), 1u);
}
