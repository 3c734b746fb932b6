// Decoders of identity and capacity data, on golden byte fixtures.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "scsi/inquiry_data.h"
#include "support/hex_fixture.h"

namespace {

struct CapacityCase {
    const char* fixture;
    int cdbLength;  // 10 or 16: which decoder
    uint64_t lastLba;
    uint32_t blockLength;
};

class CapacityDecoding : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(CapacityDecoding, GivesLastLbaAndBlockLength)
{
    const CapacityCase& c = GetParam();
    const std::vector<uint8_t> data = HexDataFile(std::string("scsi/") + c.fixture);
    ASSERT_FALSE(data.empty());
    if (c.cdbLength == 10) {
        const Capacity10 capacity = DecodeReadCapacity10(data.data(), data.size());
        EXPECT_EQ(capacity.lastLba, c.lastLba);
        EXPECT_EQ(capacity.blockLength, c.blockLength);
    } else {
        const Capacity16 capacity = DecodeReadCapacity16(data.data(), data.size());
        EXPECT_EQ(capacity.lastLba, c.lastLba);
        EXPECT_EQ(capacity.blockLength, c.blockLength);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, CapacityDecoding,
    ::testing::Values(CapacityCase{"read_capacity10_1000x512.hex", 10, 1000, 512},
                      CapacityCase{"read_capacity10_overflow.hex", 10, 0xFFFFFFFFu, 512},
                      CapacityCase{"read_capacity10_short.hex", 10, 0, 0},
                      CapacityCase{"read_capacity16_4tb.hex", 16, 7814037167ull, 512},
                      CapacityCase{"read_capacity16_4kn_protected.hex", 16, 3907050335ull, 4096},
                      CapacityCase{"read_capacity16_twelve_bytes.hex", 16, 0xFFFFFFFFFull, 520},
                      CapacityCase{"read_capacity16_short.hex", 16, 0, 0}));

struct SerialCase {
    const char* fixture;
    std::optional<std::string> serial;
};

class SerialDecoding : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialDecoding, UnitSerialNumberPage)
{
    const SerialCase& c = GetParam();
    const std::vector<uint8_t> data = HexDataFile(std::string("scsi/") + c.fixture);
    EXPECT_EQ(DecodeUnitSerialNumberPage(data.data(), data.size()), c.serial);
    // What lies in the buffer past the bytes that arrived is not the drive's.
    std::vector<uint8_t> buffer = data;
    buffer.resize(255, 'X');
    EXPECT_EQ(DecodeUnitSerialNumberPage(buffer.data(), data.size()), c.serial);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SerialDecoding,
                         ::testing::Values(SerialCase{"unit_serial_qemu.hex", "KSTR-QEMU-0001"},
                                           SerialCase{"unit_serial_right_aligned.hex", "3KC20735"},
                                           SerialCase{"unit_serial_zero_padded.hex", "KX-9A2F7"},
                                           SerialCase{"unit_serial_cut.hex", "123456"},
                                           SerialCase{"unit_serial_blank.hex", std::nullopt},
                                           SerialCase{"unit_serial_not_text.hex", std::nullopt},
                                           SerialCase{"unit_serial_wrong_page.hex", std::nullopt}));

TEST(DeviceIdentification, TheLogicalUnitsWorldWideNamesAlone)
{
    const struct {
        const char* fixture;
        std::vector<std::string> names;
    } cases[] = {
        {"scsi/device_id_qemu.hex", {"naa.5000c50015ea71ac"}},
        {"scsi/device_id_names.hex", {"eui.0011223344556677", "iqn.2001-04.com.example:disk1"}},
        {"scsi/device_id_cut.hex", {"naa.5a00000000000001"}},
        {"scsi/unit_serial_qemu.hex", {}},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> data = HexDataFile(c.fixture);
        EXPECT_EQ(DecodeLogicalUnitNames(data.data(), data.size()), c.names) << c.fixture;
    }
    // The reply ends inside the NAA designator the page length still counts.
    const std::vector<uint8_t> qemu = HexDataFile("scsi/device_id_qemu.hex");
    EXPECT_TRUE(DecodeLogicalUnitNames(qemu.data(), 4 + 18 + 11).empty());
}

TEST(InquirySerialNumber, OnlyPrintableNonBlankBytesThatArrivedCount)
{
    const struct {
        const char* fixture;
        bool hasSerial;
    } cases[] = {
        {"sim/inquiry_default_drive0.hex", true},
        {"scsi/inquiry_serial_blank.hex", false},
        {"scsi/inquiry_serial_binary.hex", false},
        {"scsi/inquiry_36_bytes.hex", false},
        {"scsi/inquiry_qemu.hex", false},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> data = HexDataFile(c.fixture);
        EXPECT_EQ(HasInquirySerialNumber(data.data(), data.size()), c.hasSerial) << c.fixture;
    }
    // The serial bytes are there but the drive sent only 40 of them.
    const std::vector<uint8_t> full = HexDataFile("sim/inquiry_default_drive0.hex");
    EXPECT_FALSE(HasInquirySerialNumber(full.data(), 40));
}

}  // namespace
