#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "legacytest/error_counters.h"
#include "support/case_file.h"
#include "scsi/byte_order.h"
#include "sim/sim_sense.h"

namespace {

// A counter page: parameters 0000h, 0001h, ... with these value lengths,
// each value filled with `fill`.
std::vector<uint8_t> CounterPage(uint8_t code, std::vector<uint8_t> lengths, uint8_t fill)
{
    std::vector<uint8_t> page{code, 0, 0, 0};
    for (size_t i = 0; i < lengths.size(); ++i) {
        page.insert(page.end(), {0, static_cast<uint8_t>(i), 0x00, lengths[i]});
        page.insert(page.end(), lengths[i], fill);
    }
    StoreBe16(page.data() + 2, static_cast<uint16_t>(page.size() - 4));
    return page;
}

class ErrorCountersScriptedTest : public ScriptedContextTest {
protected:
    int Check(legacytest::RecordingOutput& to) { return CheckErrorCounterPages(&to, context); }

    // Every page answers with these value lengths and fill; failingPage is refused.
    void Answer(std::vector<uint8_t> lengths, std::map<uint8_t, uint8_t> fills, uint8_t failingPage = 0)
    {
        device->script = [lengths, fills, failingPage](const ScsiRequest& request) {
            ScriptedDevice::Reply reply;
            const uint8_t page = request.Cdb[2] & 0x3F;
            if (page == failingPage) {
                reply.status = kStatusCheckCondition;
                reply.sense = FixedSense(kSenseKeyIllegalRequest, 0x24);
                return reply;
            }
            reply.data = CounterPage(page, lengths, fills.count(page) ? fills.at(page) : 0);
            return reply;
        };
    }
};

TEST_F(ErrorCountersScriptedTest, ReCheckCountsTheParameterDataChangedSinceTheFirst)
{
    for (const CaseLine& c : ReadCaseFile("legacy/error_counters.txt")) {
        SCOPED_TRACE(CaseTrace("legacy/error_counters.txt", c));
        std::vector<uint8_t> lengths;
        std::istringstream words(c[0]);
        for (int length = 0; words >> length;) lengths.push_back(static_cast<uint8_t>(length));
        std::map<uint8_t, uint8_t> changed;
        if (c[1] != "-") changed[static_cast<uint8_t>(std::stoul(c[1], nullptr, 16))] = 1;
        std::string report = c[3] == "none" ? "" : c[3];
        for (size_t at = report.find("\\n"); at != std::string::npos; at = report.find("\\n", at))
            report.replace(at, 2, "\r\n");
        context.errorCounters.reset();
        legacytest::RecordingOutput first;
        legacytest::RecordingOutput again;
        Answer(lengths, {});
        ASSERT_EQ(Check(first), kErrorCountersPass);
        Answer(lengths, changed);
        EXPECT_EQ(Check(again), c[2] == "pass" ? kErrorCountersPass : kErrorCountersFailed);
        EXPECT_EQ(again.Text(), report);
    }
}

TEST_F(ErrorCountersScriptedTest, UnreadablePageEndsTheCheckWithItsOwnMessage)
{
    Answer({8}, {}, 0x02);
    EXPECT_EQ(Check(output), kErrorCountersFailed);
    EXPECT_EQ(output.Text(), "\r\nLog Page 02 failed\r\n");
    EXPECT_EQ(device->requests.size(), 1u);

    Answer({8}, {}, 0x03);
    EXPECT_EQ(Check(output), kErrorCountersFailed);
    EXPECT_EQ(output.Text(), "\r\nLog Page 02 failed\r\nLog Page 03 failed\r\n") << "a plain line, not a block";

    // No tolerance for sense data here, even "no sense".
    legacytest::RecordingOutput fifth;
    device->script = nullptr;
    device->next.status = kStatusCheckCondition;
    device->next.sense = FixedSense(kSenseKeyNoSense, 0x00);
    EXPECT_EQ(Check(fifth), kErrorCountersFailed);
}

}  // namespace
