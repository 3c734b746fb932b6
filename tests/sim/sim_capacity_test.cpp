// READ CAPACITY (10) and (16) as SBC-3 lays them out.
#include <gtest/gtest.h>

#include "sim_test_support.h"

#include "scsi/byte_order.h"

using simtest::Hex;
using simtest::RunIn;

namespace {

std::vector<uint8_t> ReadCapacity10(uint32_t lba = 0, bool pmi = false)
{
    std::vector<uint8_t> cdb{0x25, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(pmi), 0};
    StoreBe32(cdb.data() + 2, lba);
    return cdb;
}

std::vector<uint8_t> ReadCapacity16(uint32_t allocation, uint64_t lba = 0, bool pmi = false)
{
    std::vector<uint8_t> cdb(16, 0);
    cdb[0] = 0x9E;
    cdb[1] = 0x10;
    StoreBe64(cdb.data() + 2, lba);
    StoreBe32(cdb.data() + 10, allocation);
    cdb[14] = pmi ? 1 : 0;
    return cdb;
}

SimDisk Drive(uint64_t blocks, uint32_t blockLength)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.blocks = blocks;
    config.blockLength = blockLength;
    return SimDisk(config);
}

}  // namespace

TEST(SimCapacity, ReadCapacity10GivesLastLbaAndBlockLength)
{
    auto disk = Drive(35843670, 512);  // last LBA 0222EE55h
    const auto answer = RunIn(disk, ReadCapacity10(), 8);
    ASSERT_EQ(answer.result.status, 0x00);
    EXPECT_EQ(answer.data, Hex("02 22 EE 55 00 00 02 00"));

    auto large = Drive(73242187, 4096);
    EXPECT_EQ(RunIn(large, ReadCapacity10(), 8).data, Hex("04 5D 96 4A 00 00 10 00"));
}

TEST(SimCapacity, ReadCapacity10SaysFFFFFFFFhWhenTheLastLbaDoesNotFit)
{
    auto exactlyFits = Drive(0xFFFFFFFFull, 512);  // last LBA FFFFFFFEh
    EXPECT_EQ(RunIn(exactlyFits, ReadCapacity10(), 8).data, Hex("FF FF FF FE 00 00 02 00"));

    auto twoTiB = Drive(0x100000000ull, 512);  // last LBA FFFFFFFFh
    EXPECT_EQ(RunIn(twoTiB, ReadCapacity10(), 8).data, Hex("FF FF FF FF 00 00 02 00"));

    auto fourTB = Drive(7814037168ull, 512);
    EXPECT_EQ(RunIn(fourTB, ReadCapacity10(), 8).data, Hex("FF FF FF FF 00 00 02 00"));
}

TEST(SimCapacity, ReadCapacity16TellsTheWholeDrive)
{
    auto fourTB = Drive(7814037168ull, 512);  // last LBA 1D1C0BEAFh
    const auto answer = RunIn(fourTB, ReadCapacity16(32), 32);
    ASSERT_EQ(answer.result.status, 0x00);
    EXPECT_EQ(answer.data, Hex("00 00 00 01 D1 C0 BE AF  00 00 02 00  00 00 00 00 "
                               "00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00"));

    // Allocation length cuts the parameter data.
    EXPECT_EQ(RunIn(fourTB, ReadCapacity16(12), 32).data, Hex("00 00 00 01 D1 C0 BE AF 00 00 02 00"));
    EXPECT_TRUE(RunIn(fourTB, ReadCapacity16(0), 32).data.empty());
}

TEST(SimCapacity, PartialMediumIndicator)
{
    auto disk = Drive(1000, 512);
    // An address without PMI is an invalid field (byte 2).
    auto answer = RunIn(disk, ReadCapacity10(5), 8);
    EXPECT_EQ(answer.result.status, 0x02);
    EXPECT_EQ(answer.SenseKey(), 0x05);
    EXPECT_EQ(answer.Asc(), 0x24);
    EXPECT_EQ(answer.result.sense[17], 2);
    answer = RunIn(disk, ReadCapacity16(32, 5), 32);
    EXPECT_EQ(answer.Asc(), 0x24);

    // With PMI: no delay boundary on this medium, so the last block.
    EXPECT_EQ(RunIn(disk, ReadCapacity10(500, true), 8).data, Hex("00 00 03 E7 00 00 02 00"));
    EXPECT_EQ(RunIn(disk, ReadCapacity10(999, true), 8).data, Hex("00 00 03 E7 00 00 02 00"));
    // Past the end: LBA out of range.
    answer = RunIn(disk, ReadCapacity10(1000, true), 8);
    EXPECT_EQ(answer.SenseKey(), 0x05);
    EXPECT_EQ(answer.Asc(), 0x21);
    answer = RunIn(disk, ReadCapacity16(32, 1000, true), 32);
    EXPECT_EQ(answer.Asc(), 0x21);
}

TEST(SimCapacity, OtherServiceActionsOf9EhAreInvalidFields)
{
    auto disk = Drive(1000, 512);
    auto cdb = ReadCapacity16(32);
    cdb[1] = 0x12;  // GET LBA STATUS: not offered
    const auto answer = RunIn(disk, cdb, 32);
    EXPECT_EQ(answer.result.status, 0x02);
    EXPECT_EQ(answer.Asc(), 0x24);
    EXPECT_EQ(answer.result.sense[15], 0xCC);  // SKSV, C/D, BPV, bit 4
    EXPECT_EQ(answer.result.sense[17], 1);
}
