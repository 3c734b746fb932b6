#include <gtest/gtest.h>

#include <vector>

#include "scsi/byte_order.h"

namespace {

// One field of every width read from, and written back into, the same bytes.
TEST(ByteOrder, FieldsAreMostSignificantByteFirst)
{
    const uint8_t bytes[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    const struct {
        size_t width;
        uint64_t value;
    } cases[] = {{1, 0x01}, {2, 0x0123}, {3, 0x012345}, {4, 0x01234567}, {8, 0x0123456789ABCDEF}};
    for (const auto& c : cases) {
        EXPECT_EQ(LoadBigEndian(bytes, c.width), c.value) << c.width;
        uint8_t written[8] = {};
        StoreBigEndian(written, c.value, c.width);
        EXPECT_EQ(std::vector<uint8_t>(written, written + c.width), std::vector<uint8_t>(bytes, bytes + c.width))
            << c.width;
    }
    EXPECT_EQ(LoadBe16(bytes + 6), 0xCDEFu);
    EXPECT_EQ(LoadBe24(bytes + 5), 0xABCDEFu);
    EXPECT_EQ(LoadBe32(bytes + 4), 0x89ABCDEFu);
    EXPECT_EQ(LoadBe64(bytes), 0x0123456789ABCDEFu);
    EXPECT_EQ(LoadLe32(bytes), 0x67452301u);

    std::vector<uint8_t> appended{0xFF};
    AppendBigEndian(appended, 0x0A0B0C, 3);
    EXPECT_EQ(appended, (std::vector<uint8_t>{0xFF, 0x0A, 0x0B, 0x0C}));
    uint8_t wide[4] = {};
    StoreBe24(wide, 0xFF123456u);
    EXPECT_EQ(wide[0], 0x12) << "a 24-bit field keeps the low three bytes";
    StoreLe32(wide, 0x11223344u);
    EXPECT_EQ(wide[0], 0x44);
}

}  // namespace
