// READ BUFFER and WRITE BUFFER of the simulated drive (SPC-4): data and
// descriptor modes, microcode download with offsets, and the restart after it.
#include <gtest/gtest.h>

#include "scsi/byte_order.h"
#include "sim/bench_loader.h"
#include "sim_test_support.h"
#include "support/fake_time.h"

using simtest::Hex;
using simtest::RunIn;
using simtest::RunOut;

namespace {

std::vector<uint8_t> BufferCdb(uint8_t opcode, uint8_t mode, uint8_t id, uint32_t offset, uint32_t length)
{
    std::vector<uint8_t> cdb{opcode, mode, id, 0, 0, 0, 0, 0, 0, 0};
    StoreBe24(cdb.data() + 3, offset);
    StoreBe24(cdb.data() + 6, length);
    return cdb;
}

std::vector<uint8_t> WriteCdb(uint8_t mode, uint32_t offset, uint32_t length, uint8_t id = 0)
{
    return BufferCdb(0x3B, mode, id, offset, length);
}

std::vector<uint8_t> ReadCdb(uint8_t mode, uint32_t offset, uint32_t length, uint8_t id = 0)
{
    return BufferCdb(0x3C, mode, id, offset, length);
}

std::vector<uint8_t> Bytes(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13);
    return bytes;
}

// CHECK CONDITION, ILLEGAL REQUEST, INVALID FIELD IN CDB with the SKS
// field pointer on the given CDB byte.
::testing::AssertionResult InvalidField(const simtest::Answer& answer, uint16_t byte)
{
    const auto& sense = answer.result.sense;
    if (answer.result.status != 0x02 || sense.size() < 18)
        return ::testing::AssertionFailure() << "status " << int{answer.result.status};
    const int pointer = LoadBe16(&sense[16]);
    if (answer.SenseKey() != 0x5 || answer.Asc() != 0x24 || (sense[15] & 0xC0) != 0xC0 || pointer != byte)
        return ::testing::AssertionFailure() << "sense key " << int{answer.SenseKey()} << " ASC " << int{answer.Asc()}
                                             << " field pointer " << pointer;
    return ::testing::AssertionSuccess();
}

SimDisk BufferDrive(uint32_t capacity = 4096, uint8_t boundary = 0)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.buffer.capacity = capacity;
    config.buffer.offsetBoundary = boundary;
    return SimDisk(config);
}

const std::vector<uint8_t> kTestUnitReady = {0x00, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kInquiry = {0x12, 0, 0, 0, 36, 0};

}  // namespace

TEST(SimBuffer, DataModeKeepsWhatWasWrittenAtItsOffset)
{
    SimDisk disk = BufferDrive();
    EXPECT_EQ(RunIn(disk, ReadCdb(0x02, 0, 8), 8).data, std::vector<uint8_t>(8, 0)) << "an unused buffer reads zeros";
    EXPECT_EQ(RunOut(disk, WriteCdb(0x02, 100, 512), Bytes(512, 1)).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, ReadCdb(0x02, 100, 512), 512).data, Bytes(512, 1));
    const auto around = RunIn(disk, ReadCdb(0x02, 98, 4), 4).data;
    EXPECT_EQ(around, (std::vector<uint8_t>{0, 0, Bytes(2, 1)[0], Bytes(2, 1)[1]}));
    // Up to the end of the buffer, no further.
    EXPECT_EQ(RunOut(disk, WriteCdb(0x02, 4000, 96), Bytes(96, 9)).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, ReadCdb(0x02, 4000, 200), 200).data, Bytes(96, 9));
}

TEST(SimBuffer, DescriptorTellsCapacityAndOffsetBoundary)
{
    SimDisk disk = BufferDrive(0x012345, 4);
    EXPECT_EQ(RunIn(disk, ReadCdb(0x03, 0, 4), 64).data, Hex("04 01 23 45"));
    EXPECT_EQ(RunIn(disk, ReadCdb(0x03, 0, 2), 64).data, Hex("04 01")) << "cut to the allocation length";
    EXPECT_EQ(RunIn(disk, ReadCdb(0x03, 0, 4, 7), 64).data, Hex("00 00 00 00")) << "a buffer the drive lacks";
}

TEST(SimBuffer, RefusesWhatTheBufferCannotTake)
{
    SimDisk disk = BufferDrive(4096, 4);
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x02, 4000, 97), Bytes(97, 0)), 6));
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x02, 8, 16), Bytes(16, 0)), 3)) << "not on a 16-byte boundary";
    EXPECT_TRUE(InvalidField(RunIn(disk, ReadCdb(0x02, 4112, 16), 16), 3)) << "beyond the buffer";
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x02, 0, 16, 1), Bytes(16, 0)), 2));
    EXPECT_TRUE(InvalidField(RunIn(disk, ReadCdb(0x0A, 0, 16), 16), 1)) << "echo buffer not offered";
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x05, 0, 16), Bytes(16, 0)), 1)) << "download without offsets";
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x22, 0, 16), Bytes(16, 0)), 1)) << "mode-specific bits are reserved";
    // The initiator offers less data than the CDB announces: the call fails.
    EXPECT_TRUE(RunOut(disk, WriteCdb(0x02, 0, 64), Bytes(32, 0)).result.callFailed);
}

TEST(SimBuffer, AStuckBitShowsInWhatIsReadBack)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.buffer.stuckOffset = 10;
    config.buffer.stuckBit = 3;
    config.buffer.stuckValue = false;
    SimDisk disk(config);
    RunOut(disk, WriteCdb(0x02, 0, 16), std::vector<uint8_t>(16, 0xFF));
    const auto back = RunIn(disk, ReadCdb(0x02, 0, 16), 16).data;
    ASSERT_EQ(back.size(), 16u);
    EXPECT_EQ(back[10], 0xF7);
    EXPECT_EQ(back[9], 0xFF);
}

TEST(SimMicrocode, PiecesInOrderAreTakenWhenTheShortOneArrivesThenTheDriveRestarts)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.buffer.restartSeconds = 5;
    config.buffer.revisionAfter = "0200";
    SimDisk disk(config);
    FakeTime time;
    disk.SetRestartClock(&time);
    EXPECT_EQ(RunOut(disk, WriteCdb(0x07, 0, 65536), Bytes(65536, 1)).result.status, 0x00);
    EXPECT_EQ(RunOut(disk, WriteCdb(0x07, 65536, 65536), Bytes(65536, 2)).result.status, 0x00);
    EXPECT_EQ(disk.MicrocodeImagesTaken(), 0u) << "whole pieces: more to come";
    EXPECT_EQ(RunOut(disk, WriteCdb(0x07, 131072, 0), {}).result.status, 0x00);
    ASSERT_EQ(disk.MicrocodeImagesTaken(), 1u);
    auto expected = Bytes(65536, 1);
    const auto second = Bytes(65536, 2);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(disk.MicrocodeImage(), expected);

    // The restart lasts seconds, however many commands come meanwhile; only
    // INQUIRY and REQUEST SENSE are answered.
    const std::vector<uint8_t> kReadCapacity = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> kModeSense = {0x1A, 0, 0x3F, 0, 0xFF, 0};
    const std::vector<uint8_t> kRequestSense = {0x03, 0, 0, 0, 18, 0};
    for (int second = 0; second < 5; ++second) {
        for (int i = 0; i < 20; ++i) {
            for (const auto& cdb : {kTestUnitReady, kReadCapacity, kModeSense}) {
                const auto answer = RunIn(disk, cdb, 255);
                EXPECT_EQ(answer.SenseKey(), 0x2) << "second " << second;
                EXPECT_EQ(answer.Asc(), 0x04);
                EXPECT_EQ(answer.Ascq(), 0x01);
            }
        }
        const auto inquiry = RunIn(disk, kInquiry, 36);
        ASSERT_EQ(inquiry.result.status, 0x00) << "second " << second;
        EXPECT_EQ(std::string(inquiry.data.begin() + 32, inquiry.data.begin() + 36), "0200");
        const auto sense = RunIn(disk, kRequestSense, 18);
        ASSERT_EQ(sense.data.size(), 18u);
        EXPECT_EQ(sense.data[2], 0x2);
        EXPECT_EQ(sense.data[12], 0x04);
        EXPECT_EQ(sense.data[13], 0x01);
        time.AdvanceSeconds(1);
    }
    // Back: the reset, then the microcode change, each reported once.
    for (const auto& [asc, ascq] : {std::pair{0x29, 0x00}, std::pair{0x3F, 0x01}}) {
        const auto attention = RunIn(disk, kTestUnitReady, 0);
        EXPECT_EQ(attention.SenseKey(), 0x6);
        EXPECT_EQ(attention.Asc(), asc);
        EXPECT_EQ(attention.Ascq(), ascq);
    }
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
    EXPECT_FALSE(disk.Restarting());
}

TEST(SimMicrocode, TheNewRevisionComesFromTheBenchOrFromTheImage)
{
    struct Case {
        const char* name;
        std::optional<std::string> revisionAfter;
        std::optional<uint32_t> revisionOffset;
        std::vector<uint8_t> image;
        const char* revision;  // null: the image is refused
    };
    const std::vector<uint8_t> carrying = {0x00, 0x00, 'B', '7', '0', '2', 0xFF};
    const Case cases[] = {
        {"unchanged", std::nullopt, std::nullopt, carrying, "0100"},
        {"configured", "A1", std::nullopt, carrying, "A1  "},
        {"from the image", std::nullopt, 2, carrying, "B702"},
        {"not printable there", std::nullopt, 3, carrying, nullptr},
        {"image too short", std::nullopt, 4, carrying, nullptr},
    };
    for (const Case& c : cases) {
        SimDriveConfig config = simtest::PlainDrive();
        config.buffer.restartSeconds = 0;
        config.buffer.revisionAfter = c.revisionAfter;
        config.buffer.revisionOffset = c.revisionOffset;
        SimDisk disk(config);
        const auto taken = RunOut(disk, WriteCdb(0x07, 0, static_cast<uint32_t>(c.image.size())), c.image);
        if (c.revision == nullptr) {
            EXPECT_EQ(taken.SenseKey(), 0x5) << c.name;
            EXPECT_EQ(taken.Asc(), 0x26) << c.name;
            EXPECT_EQ(disk.MicrocodeImagesTaken(), 0u) << c.name;
            continue;
        }
        EXPECT_EQ(taken.result.status, 0x00) << c.name;
        const auto inquiry = RunIn(disk, kInquiry, 36);
        EXPECT_EQ(std::string(inquiry.data.begin() + 32, inquiry.data.begin() + 36), c.revision) << c.name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(disk.StandardInquiryData().data()) + 32, 4), "0100")
            << "the adapter keeps what it saw at its scan";
    }
}

TEST(SimMicrocode, TheRestartLosesTheDataBuffer)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.buffer.restartSeconds = 0;
    SimDisk disk(config);
    RunOut(disk, WriteCdb(0x02, 0, 4), Hex("DE AD BE EF"));
    RunOut(disk, WriteCdb(0x07, 0, 3), Hex("01 02 03"));
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).Asc(), 0x29);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).Asc(), 0x3F);
    EXPECT_EQ(RunIn(disk, ReadCdb(0x02, 0, 4), 4).data, Hex("00 00 00 00"));
}

TEST(SimMicrocode, OffsetsAndLengthsAreChecked)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.buffer.microcodeCapacity = 100000;
    SimDisk disk(config);
    RunOut(disk, WriteCdb(0x07, 0, 65536), Bytes(65536, 0));
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x07, 131072, 100), Bytes(100, 0)), 3)) << "a gap";
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x07, 65536, 100), Bytes(100, 0)), 3)) << "the gap started over";
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x07, 0, 65537), Bytes(65537, 0)), 6)) << "longer than a piece";
    RunOut(disk, WriteCdb(0x07, 0, 65536), Bytes(65536, 0));
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x07, 65536, 40000), Bytes(40000, 0)), 6)) << "beyond its capacity";
    EXPECT_TRUE(InvalidField(RunOut(disk, WriteCdb(0x07, 0, 10, 1), Bytes(10, 0)), 2));
    EXPECT_EQ(disk.MicrocodeImagesTaken(), 0u);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00) << "nothing taken, no restart";
}

TEST(SimMicrocode, RejectedImageFailedPieceAndNeverReady)
{
    SimDriveConfig rejecting = simtest::PlainDrive();
    rejecting.buffer.rejectImage = SimBufferSense{0x5, 0x26, 0x00};
    SimDisk rejecter(rejecting);
    RunOut(rejecter, WriteCdb(0x07, 0, 65536), Bytes(65536, 0));
    const auto rejected = RunOut(rejecter, WriteCdb(0x07, 65536, 5), Bytes(5, 0));
    EXPECT_EQ(rejected.SenseKey(), 0x5);
    EXPECT_EQ(rejected.Asc(), 0x26);
    EXPECT_EQ(rejecter.MicrocodeImagesTaken(), 0u);
    EXPECT_EQ(RunIn(rejecter, kTestUnitReady, 0).result.status, 0x00);

    SimDriveConfig failing = simtest::PlainDrive();
    failing.buffer.failPiece = 1;
    failing.buffer.failPieceSense = SimBufferSense{0x4, 0x44, 0x00};
    SimDisk failer(failing);
    EXPECT_EQ(RunOut(failer, WriteCdb(0x07, 0, 65536), Bytes(65536, 0)).result.status, 0x00);
    EXPECT_EQ(RunOut(failer, WriteCdb(0x07, 65536, 5), Bytes(5, 0)).Asc(), 0x44);
    EXPECT_TRUE(InvalidField(RunOut(failer, WriteCdb(0x07, 65536, 5), Bytes(5, 0)), 3)) << "the download must start over";
    failing.buffer.failPieceSense.reset();
    SimDisk dropper(failing);
    RunOut(dropper, WriteCdb(0x07, 0, 65536), Bytes(65536, 0));
    EXPECT_TRUE(RunOut(dropper, WriteCdb(0x07, 65536, 5), Bytes(5, 0)).result.callFailed);

    SimDriveConfig dead = simtest::PlainDrive();
    dead.buffer.neverReady = true;
    SimDisk never(dead);
    RunOut(never, WriteCdb(0x07, 0, 1), Hex("01"));
    EXPECT_EQ(never.MicrocodeImagesTaken(), 1u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(RunIn(never, kTestUnitReady, 0).Ascq(), 0x03);
    EXPECT_EQ(RunIn(never, kInquiry, 36).result.status, 0x00);
}

TEST(SimMicrocode, BenchKeysReachTheDriveAndMistakesAreNamed)
{
    const std::string good = R"({"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "V", "product": "P",
      "blocks": 10,
      "buffer": {"capacity": 8192, "offsetBoundary": "0x09", "stuckBit": {"offset": 7, "bit": 1, "value": 1}},
      "microcode": {"capacity": 70000, "restartSeconds": 40, "neverReady": false, "revisionOffset": 69996,
                    "rejectImage": {"senseKey": 5, "asc": "0x26"},
                    "failPiece": {"piece": 2, "action": "callFails"}}}]})";
    Bench bench;
    std::string error;
    ASSERT_TRUE(LoadBench(good, "b.json", bench, error)) << error;
    const SimBufferConfig& buffer = bench.devices.at(0).drive.buffer;
    EXPECT_EQ(buffer.capacity, 8192u);
    EXPECT_EQ(buffer.offsetBoundary, 9);
    EXPECT_EQ(buffer.stuckOffset, 7u);
    EXPECT_EQ(buffer.stuckBit, 1);
    EXPECT_TRUE(buffer.stuckValue);
    EXPECT_EQ(buffer.microcodeCapacity, 70000u);
    EXPECT_EQ(buffer.restartSeconds, 40u);
    EXPECT_EQ(buffer.revisionOffset, 69996u);
    ASSERT_TRUE(buffer.rejectImage);
    EXPECT_EQ(buffer.rejectImage->asc, 0x26);
    EXPECT_EQ(buffer.failPiece, 2u);
    EXPECT_FALSE(buffer.failPieceSense);

    const auto errorOf = [](const std::string& extra) {
        const std::string text = "{\"buses\": 1, \"devices\": [{\"bus\": 0, \"targetId\": 0, \"vendor\": \"V\",\n"
                                 "\"product\": \"P\", \"blocks\": 10,\n" + extra + "}]}";
        Bench bench;
        std::string error;
        EXPECT_FALSE(LoadBench(text, "b.json", bench, error)) << extra;
        return error;
    };
    EXPECT_EQ(errorOf("\"buffer\": {\"capacity\": 0}"), "b.json:3: \"capacity\" must be a number from 1 to 16777215");
    EXPECT_EQ(errorOf("\"buffer\": {\"offsetBoundary\": 24}"),
              "b.json:3: \"offsetBoundary\" must be a number from 0 to 23, or 255 (offset 0 only)");
    EXPECT_EQ(errorOf("\"microcode\": {\"restartSecond\": 2}"), "b.json:3: unknown field \"restartSecond\"");
    EXPECT_EQ(errorOf("\"microcode\": {\"resetCommands\": 2}"),
              "b.json:3: \"resetCommands\" is no longer read: the restart lasts \"restartSeconds\" of the drive's clock");
    EXPECT_EQ(errorOf("\"microcode\": {\"restartSeconds\": 86401}"),
              "b.json:3: \"restartSeconds\" must be a number from 0 to 86400");
    EXPECT_EQ(errorOf("\"microcode\": {\"revisionAfter\": \"A\", \"revisionOffset\": 0}"),
              "b.json:3: \"revisionOffset\" and \"revisionAfter\" cannot both be given");
    EXPECT_EQ(errorOf("\"microcode\": {\"revisionAfter\": \"12345\"}"),
              "b.json:3: \"revisionAfter\" must be text of at most 4 printable ASCII characters");
    EXPECT_EQ(errorOf("\"microcode\": {\"rejectImage\": {\"asc\": 1}}"),
              "b.json:3: missing required field \"senseKey\"");
    EXPECT_EQ(errorOf("\"microcode\": {\"failPiece\": {\"piece\": 1, \"action\": \"callFails\", \"asc\": 1}}"),
              "b.json:3: \"asc\" goes only with \"action\": \"sense\"");
    EXPECT_EQ(errorOf("\"microcode\": []"), "b.json:3: \"microcode\" must be an object");
}
