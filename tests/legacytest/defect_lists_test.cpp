#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "support/case_file.h"
#include "legacytest/defect_lists.h"

namespace {

// A bench drive of 4 heads, 100 sectors per track.
std::string FourHeads(const std::string& extra = "")
{
    return OneDrive(std::string(R"("geometry": {"cylinders": 400, "heads": 4, "sectorsPerTrack": 100})") +
                        (extra.empty() ? "" : ", " + extra),
                    160000);
}

class DefectListsTest : public LegacyBenchTest {};

TEST(DefectListDecodeTest, OnlyWholeDescriptorsInsideTheListAndTheBytesAtHand)
{
    for (const CaseLine& c : ReadCaseFile("legacy/defect_lists.txt")) {
        SCOPED_TRACE(CaseTrace("legacy/defect_lists.txt", c));
        std::string decoded;
        for (const PhysicalDefect& d : DecodePhysicalDefectList(ParseHexText(c[0])))
            decoded += (decoded.empty() ? "" : " ") + std::to_string(d.cylinder) + "/" + std::to_string(d.head) + "/" +
                       std::to_string(d.sector) + "@" + std::to_string(d.offset);
        EXPECT_EQ(decoded.empty() ? "none" : decoded, c[1]);
    }
}

// Whatever the buffer held beyond the list is not read as defects.
TEST_F(DefectListsTest, BufferBeyondTheListIsCleared)
{
    Start(FourHeads(R"("defects": {"grown": [[1, 2, 7]]})"));
    std::vector<uint8_t> buffer(65535, 0xEE);
    EXPECT_EQ(ReadDefectLists(Context(), buffer, 65535), kDefectReadOk);
    EXPECT_EQ(buffer[100], 0);
}

TEST_F(DefectListsTest, SectorInTheReservedAreaHasNoAddress)
{
    // 160000 blocks of a 400 x 4 x 100 geometry: cylinder 399 is all blocks,
    // so ask for a geometry larger than the medium.
    Start(OneDrive(R"("geometry": {"cylinders": 500, "heads": 4, "sectorsPerTrack": 100})", 160000));
    uint32_t lba = 12345;
    EXPECT_EQ(PhysToLBA(450, 0, 0, lba, Context(), 0), kTranslateFailed);
    EXPECT_EQ(lba, 12345u);
}

TEST_F(DefectListsTest, HeadThatDoesNotTranslateEndsTheCheckWithItsNumber)
{
    Start(FourHeads());
    TestContext& test = Context();
    test.workspace.headCount = 6;  // more than the drive has
    EXPECT_EQ(CheckPhysicalHeads(test.workspace, test, 1, 0, 512), kHeadsFailed);
    EXPECT_TRUE(output.Contains("PhysToLBA failure, Cyl=00000000 head=4"));
}

}  // namespace
