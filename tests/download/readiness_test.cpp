// What the answers of a drive that has just been sent new microcode mean,
// and how they read: cases in tests/data/download/readiness.txt.
#include <gtest/gtest.h>

#include <map>

#include "download/readiness.h"
#include "support/case_file.h"

namespace {

uint8_t HexByte(const std::string& text) { return static_cast<uint8_t>(std::stoul(text, nullptr, 16)); }

TEST(Readiness, RestartingAnswersAreWaitedOutAndOthersAreNamed)
{
    const std::map<std::string, int> results{
        {"ready", kCheckReady}, {"call-failed", kCheckCallFailed}, {"not-ready", kCheckNotReady}, {"status", kCheckStatus}};
    const std::map<std::string, ReadinessAnswer> answers{
        {"ready", ReadinessAnswer::Ready}, {"restarting", ReadinessAnswer::Restarting}, {"failed", ReadinessAnswer::Failed}};
    const auto cases = ReadCaseFile("download/readiness.txt");
    ASSERT_EQ(cases.size(), 21u);
    for (const CaseLine& c : cases) {
        SCOPED_TRACE(CaseTrace("readiness.txt", c));
        ReadinessCheck check;
        check.result = results.at(c[0]);
        check.status = HexByte(c[1]);
        check.codes = {HexByte(c[2]), HexByte(c[3]), HexByte(c[4])};
        EXPECT_EQ(ClassifyReadiness(check), answers.at(c[5]));
        EXPECT_EQ(ReadinessCheckText(check), c[6]);
    }
}

}  // namespace
