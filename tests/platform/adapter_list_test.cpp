#include <gtest/gtest.h>

#include <vector>

#include "platform/adapter_list.h"

#include "scsi/byte_order.h"

namespace {

AdapterListDevice Device(uint8_t bus, uint8_t target, const char* vendor)
{
    AdapterListDevice device;
    device.pathId = bus;
    device.targetId = target;
    device.claimed = true;
    device.inquiry.assign(36, ' ');
    device.inquiry[0] = 0;
    device.inquiry[4] = 31;
    for (size_t i = 0; vendor[i] && i < 8; ++i) device.inquiry[8 + i] = static_cast<uint8_t>(vendor[i]);
    return device;
}

TEST(AdapterListTest, BusTableThenEntriesOnFourByteBoundaries)
{
    const auto buffer = BuildAdapterInquiryData(2, {Device(0, 0, "A"), Device(1, 5, "B"), Device(0, 3, "C")});
    ASSERT_GE(buffer.size(), 20u);
    EXPECT_EQ(buffer[0], 2);
    EXPECT_EQ(buffer[4], 2) << "bus 0 holds two logical units";
    EXPECT_EQ(buffer[12], 1);
    const uint32_t first = LoadLe32(&buffer[8]);
    EXPECT_EQ(first, 20u) << "entries follow the bus table on a 4-byte boundary";
    EXPECT_EQ(buffer[first + 1], 0);
    EXPECT_EQ(buffer[first + 4], 36) << "inquiry data length";
    const uint32_t next = LoadLe32(&buffer[first + 8]);
    EXPECT_EQ(buffer[next + 1], 3);
    EXPECT_EQ(buffer[next + 8], 0) << "last entry of the bus";

    const AdapterList list = ParseAdapterInquiryData(buffer.data(), buffer.size());
    ASSERT_EQ(list.devices.size(), 3u);
    EXPECT_EQ(list.devices[0].targetId, 0);
    EXPECT_EQ(list.devices[1].targetId, 3);
    EXPECT_EQ(list.devices[2].targetId, 5);
    EXPECT_EQ(list.devices[2].busIndex, 1);
    EXPECT_EQ(list.devices[2].inquiry[8], 'B');
}

TEST(AdapterListTest, ListIsCutToTheBufferLimit)
{
    std::vector<AdapterListDevice> many;
    for (uint8_t t = 0; t < 100; ++t) many.push_back(Device(0, t, "X"));
    const auto buffer = BuildAdapterInquiryData(1, many, kAdapterListBufferSize);
    EXPECT_LE(buffer.size(), kAdapterListBufferSize);
    const AdapterList list = ParseAdapterInquiryData(buffer.data(), buffer.size());
    EXPECT_EQ(list.devices.size(), buffer[4]);
    EXPECT_GT(list.devices.size(), 30u);
}

TEST(AdapterListTest, MalformedRepliesAreReadWithinBounds)
{
    auto buffer = BuildAdapterInquiryData(1, {Device(0, 1, "A"), Device(0, 2, "B")});
    const uint32_t first = buffer[8];
    // A loop back to the first entry ends the bus instead of walking forever.
    const uint32_t second = buffer[first + 8];
    buffer[second + 8] = static_cast<uint8_t>(first);
    EXPECT_EQ(ParseAdapterInquiryData(buffer.data(), buffer.size()).devices.size(), 2u);

    // An inquiry length beyond the buffer is cut at its end.
    buffer[second + 4] = 0xFF;
    buffer[second + 5] = 0xFF;
    const AdapterList list = ParseAdapterInquiryData(buffer.data(), buffer.size());
    ASSERT_EQ(list.devices.size(), 2u);
    EXPECT_EQ(list.devices[1].inquiry.size(), buffer.size() - second - 12);

    // More buses claimed than the buffer holds.
    std::vector<uint8_t> tiny = {9, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    EXPECT_TRUE(ParseAdapterInquiryData(tiny.data(), tiny.size()).devices.empty());
    EXPECT_TRUE(ParseAdapterInquiryData(nullptr, 0).devices.empty());
}

}  // namespace
