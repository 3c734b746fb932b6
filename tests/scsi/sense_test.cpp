// Sense made fixed-format and read: cases in tests/data/scsi/sense_to_fixed.txt.
#include <gtest/gtest.h>

#include <vector>

#include "scsi/sense.h"
#include "support/case_file.h"

namespace {

TEST(SenseTest, SenseBecomesFixedAndReadsBack)
{
    const auto cases = ReadCaseFile("scsi/sense_to_fixed.txt");
    ASSERT_EQ(cases.size(), 4u);
    for (const CaseLine& c : cases) {
        SCOPED_TRACE(CaseTrace("sense_to_fixed.txt", c));
        std::vector<uint8_t> sense = ParseHexText(c[0]);
        sense.resize(std::stoul(c[2]));
        const size_t length = ConvertSenseToFixed(sense.data(), std::stoul(c[1]), sense.size());
        EXPECT_EQ(sense, ParseHexText(c[3]));
        EXPECT_EQ(length, std::stoul(c[4]));
        const SenseCodes codes = ReadSenseCodes(sense.data(), length);
        EXPECT_EQ(std::vector<uint8_t>({codes.senseKey, codes.asc, codes.ascq}), ParseHexText(c[5]));
        const auto information = ReadSenseInformation(sense.data(), length);
        EXPECT_EQ(information, c[6] == "-" ? std::nullopt : std::optional<uint32_t>(std::stoul(c[6], nullptr, 16)));
    }
}

}  // namespace
