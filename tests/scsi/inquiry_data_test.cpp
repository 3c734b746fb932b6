// Decoders of identity and capacity data: cases in tests/data/scsi/decoders.txt.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "scsi/inquiry_data.h"
#include "support/case_file.h"

namespace {

// The bytes that arrived: all of the fixture, or as many as the case says.
size_t Arrived(const CaseLine& c, const std::vector<uint8_t>& data)
{
    return c[2].empty() ? data.size() : std::stoul(c[2]);
}

TEST(InquiryDataTest, DecodersReadWhatTheDriveSent)
{
    for (const CaseLine& c : ReadCaseFile("scsi/decoders.txt")) {
        SCOPED_TRACE(CaseTrace("decoders.txt", c));
        const std::vector<uint8_t> data = HexDataFile(c[1]);
        ASSERT_FALSE(data.empty());
        if (c[0] == "capacity10") {
            const Capacity10 capacity = DecodeReadCapacity10(data.data(), data.size());
            EXPECT_EQ(capacity.lastLba, std::stoull(c[2]));
            EXPECT_EQ(capacity.blockLength, std::stoul(c[3]));
        } else if (c[0] == "capacity16") {
            const Capacity16 capacity = DecodeReadCapacity16(data.data(), data.size());
            EXPECT_EQ(capacity.lastLba, std::stoull(c[2]));
            EXPECT_EQ(capacity.blockLength, std::stoul(c[3]));
        } else if (c[0] == "serial") {
            const auto serial = c[2] == "-" ? std::nullopt : std::optional<std::string>(c[2]);
            EXPECT_EQ(DecodeUnitSerialNumberPage(data.data(), data.size()), serial);
            std::vector<uint8_t> buffer = data;
            buffer.resize(255, 'X');
            EXPECT_EQ(DecodeUnitSerialNumberPage(buffer.data(), data.size()), serial);
        } else if (c[0] == "names") {
            std::vector<std::string> names;
            std::istringstream words(c[3]);
            for (std::string name; words >> name && name != "-";) names.push_back(name);
            EXPECT_EQ(DecodeLogicalUnitNames(data.data(), Arrived(c, data)), names);
        } else {
            ASSERT_EQ(c[0], "inquiry-serial");
            EXPECT_EQ(HasInquirySerialNumber(data.data(), Arrived(c, data)), c[3] == "yes");
        }
    }
}

}  // namespace
