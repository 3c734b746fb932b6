#include <gtest/gtest.h>

#include <vector>

#include "scsi/sense.h"

namespace {

TEST(SenseTest, DescriptorSenseBecomesFixedWithInformationAndProgress)
{
    // MEDIUM ERROR 11h/00h with an information descriptor (LBA 0x12345678)
    // and a sense-key-specific progress descriptor.
    std::vector<uint8_t> sense = {0x72, 0x03, 0x11, 0x00, 0, 0, 0, 20,
                                  0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0x78,
                                  0x02, 0x06, 0, 0, 0x80, 0x40, 0x00, 0};
    sense.resize(32);
    const size_t length = ConvertSenseToFixed(sense.data(), 28, sense.size());
    EXPECT_EQ(length, 18u);
    EXPECT_EQ(sense[0], 0xF0) << "valid bit set for an information field that fits";
    EXPECT_EQ(sense[2], 0x03);
    EXPECT_EQ((std::vector<uint8_t>{sense[3], sense[4], sense[5], sense[6]}),
              (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(sense[7], 10);
    EXPECT_EQ(sense[12], 0x11);
    EXPECT_EQ(sense[13], 0x00);
    EXPECT_EQ(sense[15], 0x80);
    EXPECT_EQ(sense[16], 0x40);
    for (size_t i = 18; i < 28; ++i) EXPECT_EQ(sense[i], 0) << "stale descriptor byte " << i;
    const SenseCodes codes = ReadSenseCodes(sense.data(), length);
    EXPECT_EQ(codes.senseKey, 3);
    EXPECT_EQ(codes.asc, 0x11);
    EXPECT_EQ(ReadSenseInformation(sense.data(), length), 0x12345678u);
}

TEST(SenseTest, FixedSenseIsLeftAlone)
{
    std::vector<uint8_t> sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0, 0, 0, 0, 0};
    const auto before = sense;
    EXPECT_EQ(ConvertSenseToFixed(sense.data(), sense.size(), sense.size()), sense.size());
    EXPECT_EQ(sense, before);
}

TEST(SenseTest, TruncatedAndOversizedDescriptorsStayInBounds)
{
    // Additional length claims more than was returned; a descriptor runs
    // past the end.
    std::vector<uint8_t> sense = {0x73, 0x06, 0x29, 0x00, 0, 0, 0, 200, 0x00, 0x0A, 0x80, 0};
    const size_t length = ConvertSenseToFixed(sense.data(), sense.size(), sense.size());
    EXPECT_EQ(length, 12u) << "never more than the area holds";
    EXPECT_EQ(sense[0], 0x71);
    EXPECT_EQ(sense[2], 0x06);
    EXPECT_EQ(sense[3], 0x00);
}

TEST(SenseTest, LargeInformationDoesNotClaimValid)
{
    std::vector<uint8_t> sense = {0x72, 0x03, 0x11, 0x00, 0, 0, 0, 12,
                                  0x00, 0x0A, 0x80, 0, 0, 0, 0, 0x01, 0, 0, 0, 0x10};
    sense.resize(24);
    ConvertSenseToFixed(sense.data(), 20, sense.size());
    EXPECT_EQ(sense[0], 0x70);
    EXPECT_EQ(ReadSenseInformation(sense.data(), sense.size()), std::nullopt) << "the low 32 bits name another block";
}

}  // namespace
