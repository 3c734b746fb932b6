// Unit attention, not-ready and stopped states as TEST UNIT READY, REQUEST
// SENSE and the media commands see them (SAM-5, SPC-4, SBC-3).
#include <gtest/gtest.h>

#include "sim_test_support.h"

using simtest::Hex;
using simtest::RunIn;

namespace {

const std::vector<uint8_t> kTestUnitReady = {0x00, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kReadCapacity = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kInquiry = {0x12, 0, 0, 0, 36, 0};

std::vector<uint8_t> RequestSense(uint8_t allocation, bool descriptor = false)
{
    return {0x03, static_cast<uint8_t>(descriptor), 0, 0, allocation, 0};
}

std::vector<uint8_t> StartStop(uint8_t byte4)
{
    return {0x1B, 0, 0, 0, byte4, 0};
}

// Fixed-format sense with only key / ASC / ASCQ set.
std::vector<uint8_t> FixedSense(uint8_t key, uint8_t asc, uint8_t ascq)
{
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

}  // namespace

TEST(SimReadiness, ReadyDriveAnswersGoodAndNoSense)
{
    SimDisk disk(simtest::PlainDrive());
    const auto ready = RunIn(disk, kTestUnitReady, 0);
    EXPECT_EQ(ready.result.status, 0x00);
    EXPECT_TRUE(ready.result.sense.empty());
    EXPECT_EQ(RunIn(disk, RequestSense(252)).data, FixedSense(0, 0, 0));
    // Descriptor format on request (DESC), with no descriptors.
    EXPECT_EQ(RunIn(disk, RequestSense(252, true)).data, Hex("72 00 00 00 00 00 00 00"));
    // Allocation length cuts the sense data.
    EXPECT_EQ(RunIn(disk, RequestSense(8)).data, Hex("70 00 00 00 00 00 00 0A"));
}

TEST(SimReadiness, UnitAttentionIsReportedOnceOutsideInquiryAndRequestSense)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.unitAttentionAtStart = true;
    SimDisk disk(config);

    EXPECT_EQ(RunIn(disk, kInquiry).result.status, 0x00);
    const auto first = RunIn(disk, kReadCapacity, 8);
    EXPECT_EQ(first.result.status, 0x02);
    EXPECT_EQ(first.result.sense, FixedSense(0x06, 0x29, 0x00));
    EXPECT_TRUE(first.data.empty());
    // Reported, so cleared: the same command now works.
    EXPECT_EQ(RunIn(disk, kReadCapacity, 8).result.status, 0x00);
    EXPECT_EQ(disk.PendingUnitAttentions(), 0u);
}

TEST(SimReadiness, RequestSenseReportsAndClearsAPendingUnitAttention)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.unitAttentionAtStart = true;
    SimDisk disk(config);
    disk.RaiseUnitAttention(0x2A, 0x01);  // mode parameters changed, queued behind power on

    const auto sense = RunIn(disk, RequestSense(18));
    EXPECT_EQ(sense.result.status, 0x00);
    EXPECT_EQ(sense.data, FixedSense(0x06, 0x29, 0x00));
    const auto next = RunIn(disk, kTestUnitReady, 0);
    EXPECT_EQ(next.result.sense, FixedSense(0x06, 0x2A, 0x01));
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, RequestSense(18)).data, FixedSense(0, 0, 0));
}

TEST(SimReadiness, BecomingReadyForNMediaCommands)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.notReadyCommands = 2;
    SimDisk disk(config);

    // REQUEST SENSE and INQUIRY tell the state without using it up.
    EXPECT_EQ(RunIn(disk, RequestSense(18)).data, FixedSense(0x02, 0x04, 0x01));
    EXPECT_EQ(RunIn(disk, kInquiry).result.status, 0x00);
    EXPECT_EQ(disk.NotReadyRemaining(), 2u);

    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.sense, FixedSense(0x02, 0x04, 0x01));
    const auto capacity = RunIn(disk, kReadCapacity, 8);
    EXPECT_EQ(capacity.result.sense, FixedSense(0x02, 0x04, 0x01));
    EXPECT_TRUE(capacity.data.empty());
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, RequestSense(18)).data, FixedSense(0, 0, 0));
}

TEST(SimReadiness, StoppedDriveNeedsStartUnit)
{
    SimDisk disk(simtest::PlainDrive());
    EXPECT_EQ(RunIn(disk, StartStop(0x00), 0).result.status, 0x00);  // STOP
    EXPECT_TRUE(disk.IsStopped());
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.sense, FixedSense(0x02, 0x04, 0x02));
    EXPECT_EQ(RunIn(disk, kReadCapacity, 8).result.sense, FixedSense(0x02, 0x04, 0x02));
    EXPECT_EQ(RunIn(disk, RequestSense(18)).data, FixedSense(0x02, 0x04, 0x02));
    EXPECT_EQ(RunIn(disk, kInquiry).result.status, 0x00);

    // A power condition makes START ignored; a reserved one is refused.
    EXPECT_EQ(RunIn(disk, StartStop(0x11), 0).result.status, 0x00);
    EXPECT_TRUE(disk.IsStopped());
    const auto reserved = RunIn(disk, StartStop(0x41), 0);
    EXPECT_EQ(reserved.result.status, 0x02);
    EXPECT_EQ(reserved.result.sense[12], 0x24);
    EXPECT_EQ(reserved.result.sense[15], 0xCF);  // bit 7 of byte 4
    EXPECT_EQ(reserved.result.sense[17], 4);

    EXPECT_EQ(RunIn(disk, StartStop(0x01), 0).result.status, 0x00);  // START
    EXPECT_FALSE(disk.IsStopped());
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
}

TEST(SimReadiness, UnsupportedOperationCodes)
{
    SimDisk disk(simtest::PlainDrive());
    for (uint8_t opcode : {0x01, 0x08, 0x5A, 0xA8, 0xDF, 0xFF}) {
        const auto answer = RunIn(disk, {opcode, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 64);
        EXPECT_EQ(answer.result.status, 0x02) << int(opcode);
        EXPECT_EQ(answer.result.sense, FixedSense(0x05, 0x20, 0x00)) << int(opcode);
        EXPECT_TRUE(answer.data.empty());
    }
}

TEST(SimReadiness, DescriptorFormatAutosense)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.descriptorSense = true;
    config.stopped = true;
    SimDisk disk(config);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.sense, Hex("72 02 04 02 00 00 00 00"));
    // With a field pointer: an SKS descriptor (type 02h).
    EXPECT_EQ(RunIn(disk, {0x12, 0, 0x80, 0, 36, 0}).result.sense,
              Hex("72 05 24 00 00 00 00 08  02 06 00 00 C0 00 02 00"));
    // REQUEST SENSE follows its own DESC bit.
    EXPECT_EQ(RunIn(disk, RequestSense(18)).data, FixedSense(0x02, 0x04, 0x02));
}
