// READ (10) and WRITE AND VERIFY (10) on the sparse medium.
#include <gtest/gtest.h>

#include "sim_test_support.h"

using simtest::RunIn;
using simtest::RunOut;

namespace {

std::vector<uint8_t> Cdb10(uint8_t opcode, uint8_t byte1, uint32_t lba, uint16_t blocks)
{
    return {opcode,
            byte1,
            static_cast<uint8_t>(lba >> 24),
            static_cast<uint8_t>(lba >> 16),
            static_cast<uint8_t>(lba >> 8),
            static_cast<uint8_t>(lba),
            0,
            static_cast<uint8_t>(blocks >> 8),
            static_cast<uint8_t>(blocks),
            0};
}

std::vector<uint8_t> Read10(uint32_t lba, uint16_t blocks) { return Cdb10(0x28, 0, lba, blocks); }
std::vector<uint8_t> WriteVerify10(uint32_t lba, uint16_t blocks, bool byteCheck)
{
    return Cdb10(0x2E, byteCheck ? 0x02 : 0x00, lba, blocks);
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(seed + i * 7);
    return data;
}

SimDriveConfig Drive(uint64_t blocks, uint32_t blockLength)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.blocks = blocks;
    config.blockLength = blockLength;
    return config;
}

}  // namespace

TEST(SimMedia, WrittenDataReadsBackAndUnwrittenBlocksReadZero)
{
    SimDisk disk(Drive(1000, 4096));
    const auto data = Pattern(2 * 4096, 3);
    EXPECT_EQ(RunOut(disk, WriteVerify10(10, 2, true), data).result.status, 0x00);
    EXPECT_EQ(disk.StoredBlocks(), 2u);

    const auto back = RunIn(disk, Read10(9, 4), 4 * 4096);
    ASSERT_EQ(back.result.status, 0x00);
    ASSERT_EQ(back.data.size(), 4u * 4096);
    EXPECT_EQ(std::vector<uint8_t>(back.data.begin(), back.data.begin() + 4096), std::vector<uint8_t>(4096, 0));
    EXPECT_EQ(std::vector<uint8_t>(back.data.begin() + 4096, back.data.begin() + 3 * 4096), data);
    EXPECT_EQ(std::vector<uint8_t>(back.data.begin() + 3 * 4096, back.data.end()), std::vector<uint8_t>(4096, 0));

    // Writing zeros back gives the memory back.
    EXPECT_EQ(RunOut(disk, WriteVerify10(10, 2, false), std::vector<uint8_t>(2 * 4096, 0)).result.status, 0x00);
    EXPECT_EQ(disk.StoredBlocks(), 0u);
}

TEST(SimMedia, LargeDriveCostsNothingUntilWritten)
{
    SimDisk disk(Drive(7814037168ull, 512));  // about 4 TB
    EXPECT_EQ(disk.StoredBlocks(), 0u);
    // READ (10) reaches the first 2 TiB only.
    EXPECT_EQ(RunIn(disk, Read10(0xFFFFFFFEu, 1), 512).data, std::vector<uint8_t>(512, 0));
    EXPECT_EQ(RunOut(disk, WriteVerify10(0xFFFFFFFFu, 1, true), Pattern(512, 9)).result.status, 0x00);
    EXPECT_EQ(disk.ReadMedium(0xFFFFFFFFu, 1), Pattern(512, 9));
    EXPECT_EQ(disk.StoredBlocks(), 1u);
}

TEST(SimMedia, AddressesBeyondTheLastBlockAreOutOfRange)
{
    SimDisk disk(Drive(100, 512));
    for (const auto& cdb : {Read10(100, 1), Read10(99, 2), Read10(0xFFFFFFFFu, 1), Read10(100, 0)}) {
        const auto answer = RunIn(disk, cdb, 1024);
        EXPECT_EQ(answer.result.status, 0x02);
        EXPECT_EQ(answer.SenseKey(), 0x05);
        EXPECT_EQ(answer.Asc(), 0x21);
        EXPECT_TRUE(answer.data.empty());
    }
    EXPECT_EQ(RunOut(disk, WriteVerify10(99, 2, true), Pattern(1024, 1)).result.sense[12], 0x21);
    EXPECT_EQ(disk.StoredBlocks(), 0u);
    // A transfer length of zero moves nothing and is no error.
    EXPECT_EQ(RunIn(disk, Read10(99, 0), 512).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, Read10(99, 1), 512).result.status, 0x00);
}

TEST(SimMedia, ProtectionFieldsAreRefused)
{
    SimDisk disk(Drive(100, 512));
    const auto read = RunIn(disk, Cdb10(0x28, 0x20, 0, 1), 512);
    EXPECT_EQ(read.Asc(), 0x24);
    EXPECT_EQ(read.result.sense[15], 0xCF);
    EXPECT_EQ(read.result.sense[17], 1);
    EXPECT_EQ(RunOut(disk, Cdb10(0x2E, 0x22, 0, 1), Pattern(512, 1)).result.sense[12], 0x24);
}

TEST(SimMedia, ByteCheckReportsTheFirstMiscomparingByte)
{
    SimDisk disk(Drive(100, 512));
    disk.MarkUnwritable(6);
    const auto data = Pattern(3 * 512, 5);

    // Without BYTCHK the lost write goes unnoticed.
    EXPECT_EQ(RunOut(disk, WriteVerify10(5, 3, false), data).result.status, 0x00);

    const auto answer = RunOut(disk, WriteVerify10(5, 3, true), data);
    ASSERT_EQ(answer.result.status, 0x02);
    ASSERT_EQ(answer.result.sense.size(), 18u);
    EXPECT_EQ(answer.SenseKey(), 0x0E);
    EXPECT_EQ(answer.Asc(), 0x1D);
    EXPECT_EQ(answer.Ascq(), 0x00);
    // VALID, INFORMATION = offset in the data-out buffer (block 1, byte 0).
    EXPECT_EQ(answer.result.sense[0], 0xF0);
    EXPECT_EQ(std::vector<uint8_t>(answer.result.sense.begin() + 3, answer.result.sense.begin() + 7),
              (std::vector<uint8_t>{0, 0, 0x02, 0x00}));
    EXPECT_EQ(disk.ReadMedium(6, 1), std::vector<uint8_t>(512, 0));
    EXPECT_EQ(disk.ReadMedium(7, 1), std::vector<uint8_t>(data.begin() + 1024, data.end()));
}

TEST(SimMedia, DataPhaseMismatchesFailTheCall)
{
    SimDisk disk(Drive(100, 512));
    // The target wants two blocks of data-out; only one is offered.
    EXPECT_TRUE(RunOut(disk, WriteVerify10(0, 2, false), Pattern(512, 1)).result.callFailed);
    EXPECT_EQ(disk.StoredBlocks(), 0u);
    // Data-in against a data-out buffer.
    std::vector<uint8_t> buffer(512);
    const auto cdb = Read10(0, 1);
    EXPECT_TRUE(disk.Execute(cdb.data(), cdb.size(), SimDirection::Out, buffer.data(), 512, 10).callFailed);
    // A smaller data-in buffer than the transfer gets what fits.
    const auto cut = RunIn(disk, Read10(0, 2), 700);
    EXPECT_EQ(cut.result.status, 0x00);
    EXPECT_EQ(cut.data.size(), 700u);
}
