// READ, WRITE AND VERIFY and VERIFY, (10) and (16), on the sparse medium.
#include <gtest/gtest.h>

#include "scsi/byte_order.h"
#include "sim/sim_media_pacer.h"
#include "sim_test_support.h"

using simtest::RunIn;
using simtest::RunOut;

namespace {

std::vector<uint8_t> Cdb10(uint8_t opcode, uint8_t byte1, uint32_t lba, uint16_t blocks)
{
    std::vector<uint8_t> cdb{opcode, byte1, 0, 0, 0, 0, 0, 0, 0, 0};
    StoreBe32(cdb.data() + 2, lba);
    StoreBe16(cdb.data() + 7, blocks);
    return cdb;
}

std::vector<uint8_t> Cdb16(uint8_t opcode, uint8_t byte1, uint64_t lba, uint32_t blocks)
{
    std::vector<uint8_t> cdb(16, 0);
    cdb[0] = opcode;
    cdb[1] = byte1;
    StoreBe64(cdb.data() + 2, lba);
    StoreBe32(cdb.data() + 10, blocks);
    return cdb;
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

namespace {

// Time that passes only when the drive sleeps, and records how long.
class FakePacer final : public SimMediaPacer {
public:
    int64_t NowNanoseconds() override { return now; }
    void SleepUntilNanoseconds(int64_t deadline) override
    {
        sleeps.push_back(deadline - now);
        if (deadline > now) now = deadline + oversleep;
    }
    int64_t now = 5'000'000'000;
    int64_t oversleep = 0;  // a thread that wakes late
    std::vector<int64_t> sleeps;
};

}  // namespace

TEST(SimMedia, UnreadableBlockEndsAReadWithTheBlockInTheInformationField)
{
    SimDriveConfig config = Drive(1000, 512);
    config.media.unreadableBlocks = {20};
    SimDisk disk(config);
    const auto answer = RunIn(disk, Read10(16, 8), 8 * 512);
    ASSERT_EQ(answer.result.status, 0x02);
    EXPECT_EQ(answer.SenseKey(), 0x03);
    EXPECT_EQ(answer.Asc(), 0x11);
    EXPECT_EQ(answer.Ascq(), 0x00);
    EXPECT_EQ(answer.result.sense[0], 0xF0) << "VALID: the information field holds the LBA";
    EXPECT_EQ(std::vector<uint8_t>(answer.result.sense.begin() + 3, answer.result.sense.begin() + 7),
              (std::vector<uint8_t>{0, 0, 0, 20}));
    // Reads around it go on working.
    EXPECT_EQ(RunIn(disk, Read10(12, 8), 8 * 512).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, Read10(21, 8), 8 * 512).result.status, 0x00);
    // In descriptor format too.
    disk.SetDescriptorSense(true);
    const auto descriptor = RunIn(disk, Read10(20, 1), 512);
    EXPECT_EQ(descriptor.result.sense[0], 0x72);
    EXPECT_EQ(descriptor.result.sense[1] & 0x0F, 0x03);
}

TEST(SimMedia, SixteenByteCommandsReachEveryBlockAndTheLastCanBeUnreadable)
{
    constexpr uint64_t kLast = 7814037167ull;
    constexpr uint64_t kHigh = 0x100000000ull;
    SimDriveConfig config = Drive(kLast + 1, 512);
    config.media.unreadableBlocks = {kHigh + 3, kLast};
    SimDisk disk(config);
    const auto data = Pattern(2 * 512, 4);
    auto flipped = data;
    flipped[700] ^= 1;
    EXPECT_EQ(RunOut(disk, Cdb16(0x8E, 0x02, kHigh, 2), data).result.status, 0x00);
    EXPECT_EQ(disk.ReadMedium(kHigh, 2), data);

    struct Case {
        std::vector<uint8_t> cdb;
        std::vector<uint8_t> dataOut;  // empty: data-in of 4 blocks
        uint8_t senseKey;               // 0: GOOD
        uint8_t asc;
        uint64_t information;
    };
    const Case cases[] = {
        {Cdb16(0x88, 0, kHigh, 2), {}, 0, 0, 0},
        {Cdb16(0x88, 0, kLast - 1, 1), {}, 0, 0, 0},
        {Cdb16(0x88, 0, kLast - 1, 2), {}, 0x03, 0x11, kLast},
        {Cdb16(0x88, 0, kHigh + 2, 2), {}, 0x03, 0x11, kHigh + 3},
        {Cdb16(0x88, 0, kLast, 2), {}, 0x05, 0x21, 0},
        {Cdb16(0x88, 0x20, kHigh, 1), {}, 0x05, 0x24, 0},
        {Cdb16(0x8F, 0, kHigh, 3), {}, 0, 0, 0},
        {Cdb16(0x8F, 0, kHigh, 4), {}, 0x03, 0x11, kHigh + 3},
        {Cdb16(0x8F, 0, kLast, 1), {}, 0x03, 0x11, kLast},
        {Cdb16(0x8F, 0x02, kHigh, 2), data, 0, 0, 0},
        {Cdb16(0x8F, 0x02, kHigh, 2), flipped, 0x0E, 0x1D, 700},
        {Cdb16(0x8F, 0x04, kHigh, 1), {}, 0x05, 0x24, 0},
        {Cdb16(0x8F, 0x06, kHigh, 1), {}, 0x05, 0x24, 0},
        {Cdb10(0x2F, 0, 0xFFFFFFF0u, 16), {}, 0, 0, 0},
        {Cdb10(0x2F, 0x02, 0, 1), Pattern(512, 1), 0x0E, 0x1D, 0},
    };
    disk.SetDescriptorSense(true);  // an information field of 64 bits
    for (const Case& c : cases) {
        const auto answer = c.dataOut.empty() ? RunIn(disk, c.cdb, 4 * 512) : RunOut(disk, c.cdb, c.dataOut);
        const std::string label = "opcode " + std::to_string(c.cdb[0]) + " byte 1 " + std::to_string(c.cdb[1]) +
                                  " lba byte 5 " + std::to_string(c.cdb[5]) + " last " + std::to_string(c.cdb[9]);
        if (c.senseKey == 0) {
            EXPECT_EQ(answer.result.status, 0x00) << label;
            continue;
        }
        ASSERT_EQ(answer.result.status, 0x02) << label;
        const auto& sense = answer.result.sense;
        EXPECT_EQ(sense[1] & 0x0F, c.senseKey) << label;
        EXPECT_EQ(sense[2], c.asc) << label;
        if (c.information == 0) continue;
        // Information descriptor (type 00h, VALID) after the 8-byte header.
        ASSERT_GE(sense.size(), 20u) << label;
        EXPECT_EQ(sense[8], 0x00) << label;
        EXPECT_EQ(LoadBe64(&sense[12]), c.information) << label;
    }
    EXPECT_EQ(RunIn(disk, Cdb16(0x88, 0, kHigh, 2), 1024).data, data);
}

TEST(SimMedia, WritingAnUnreadableBlockReassignsIt)
{
    SimDisk disk(Drive(1000, 512));
    disk.MarkUnreadable(40);
    EXPECT_EQ(RunIn(disk, Read10(40, 1), 512).SenseKey(), 0x03);
    const auto data = Pattern(3 * 512, 2);
    EXPECT_EQ(RunOut(disk, WriteVerify10(39, 3, true), data).result.status, 0x00);
    const auto back = RunIn(disk, Read10(40, 1), 512);
    EXPECT_EQ(back.result.status, 0x00);
    EXPECT_EQ(back.data, std::vector<uint8_t>(data.begin() + 512, data.begin() + 1024));
}

TEST(SimMedia, RateAndLatencyPaceTheMediaCommands)
{
    SimDriveConfig config = Drive(100000, 512);
    config.media.mediaRate = 1'000'000;  // 1 MB/s
    config.media.latencyMicroseconds = 250;
    SimDisk disk(config);
    FakePacer pacer;
    disk.SetMediaPacer(&pacer);
    EXPECT_EQ(RunIn(disk, Read10(0, 64), 64 * 512).result.status, 0x00);
    EXPECT_EQ(RunOut(disk, WriteVerify10(0, 2, true), Pattern(1024, 3)).result.status, 0x00);
    ASSERT_EQ(pacer.sleeps.size(), 2u);
    EXPECT_EQ(pacer.sleeps[0], 250'000 + 32'768'000);  // latency + 32768 bytes at 1 MB/s
    EXPECT_EQ(pacer.sleeps[1], 250'000 + 1'024'000);
    // Other commands are not paced.
    EXPECT_EQ(RunIn(disk, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).result.status, 0x00);
    EXPECT_EQ(pacer.sleeps.size(), 2u);
}

TEST(SimMedia, PacedCommandsAddUpSoTheRateHoldsOverAScan)
{
    SimDriveConfig config = Drive(100000, 512);
    config.media.mediaRate = 10'000'000;
    SimDisk disk(config);
    FakePacer pacer;
    disk.SetMediaPacer(&pacer);
    const int64_t start = pacer.now;
    for (uint32_t lba = 0; lba < 64 * 100; lba += 64) RunIn(disk, Read10(lba, 64), 64 * 512);
    // 100 reads of 32768 bytes at 10 MB/s: 0.32768 s, no more and no less.
    EXPECT_EQ(pacer.now - start, 327'680'000);

    // A host thread that wakes late every time loses nothing: the medium
    // reads ahead meanwhile (up to 4 MiB), so the scan still takes 0.32768 s.
    SimDisk late(config);
    FakePacer slow;
    slow.oversleep = 1'000'000;  // 1 ms late at every wake-up
    late.SetMediaPacer(&slow);
    const int64_t lateStart = slow.now;
    for (uint32_t lba = 0; lba < 64 * 100; lba += 64) RunIn(late, Read10(lba, 64), 64 * 512);
    EXPECT_LE(slow.now - lateStart, 327'680'000 + 1'000'000);

    // Idle time beyond the read-ahead is not made up: after 10 s away the
    // next 4 MiB come at once, the rest at the rate.
    slow.now += 10'000'000'000;
    const int64_t resume = slow.now;
    for (uint32_t lba = 0; lba < 64 * 200; lba += 64) RunIn(late, Read10(lba, 64), 64 * 512);
    // 200 x 32768 bytes = 6.5 MB: 4 MiB from the read-ahead, the rest at 10 MB/s.
    EXPECT_NEAR(static_cast<double>(slow.now - resume), (6'553'600.0 - 4'194'304.0) / 10'000'000 * 1e9, 2e6);

    // A drive without rate and latency never sleeps.
    SimDisk fast(Drive(1000, 512));
    FakePacer idle;
    fast.SetMediaPacer(&idle);
    RunIn(fast, Read10(0, 64), 64 * 512);
    EXPECT_TRUE(idle.sleeps.empty());
}
