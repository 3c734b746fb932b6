// What the answers of a drive that has just been sent new microcode mean,
// and how they read.
#include <gtest/gtest.h>

#include "download/readiness.h"

namespace {

struct AnswerCase {
    int result;
    uint8_t status, senseKey, asc, ascq;
    ReadinessAnswer answer;
    const char* text;
};

const AnswerCase kAnswers[] = {
    {kCheckReady, 0x00, 0, 0, 0, ReadinessAnswer::Ready, "ready"},
    {kCheckCallFailed, 0x00, 0, 0, 0, ReadinessAnswer::Restarting, "no answer"},
    {kCheckNotReady, 0x02, 0x2, 0x04, 0x01, ReadinessAnswer::Restarting, "not ready, becoming ready (04h/01h)"},
    {kCheckNotReady, 0x02, 0x2, 0x04, 0x07, ReadinessAnswer::Restarting, "not ready, operation in progress (04h/07h)"},
    {kCheckNotReady, 0x02, 0x2, 0x04, 0x11, ReadinessAnswer::Restarting,
     "not ready, waiting for spin-up permission (04h/11h)"},
    {kCheckNotReady, 0x02, 0x2, 0x04, 0x1A, ReadinessAnswer::Restarting, "not ready (04h/1Ah)"},
    {kCheckNotReady, 0x02, 0x2, 0x04, 0x02, ReadinessAnswer::Failed, "not ready, initializing command required (04h/02h)"},
    {kCheckNotReady, 0x02, 0x2, 0x04, 0x03, ReadinessAnswer::Failed, "not ready, manual intervention required (04h/03h)"},
    {kCheckNotReady, 0x02, 0x2, 0x04, 0x0C, ReadinessAnswer::Failed, "not ready (04h/0Ch)"},
    {kCheckNotReady, 0x02, 0x2, 0x3A, 0x00, ReadinessAnswer::Failed, "check condition, sense key 2h, ASC 3Ah, ASCQ 00h"},
    {kCheckStatus, 0x02, 0x6, 0x29, 0x00, ReadinessAnswer::Restarting, "unit attention 29h/00h: power on or reset"},
    {kCheckStatus, 0x02, 0x6, 0x29, 0x01, ReadinessAnswer::Restarting, "unit attention 29h/01h: power on"},
    {kCheckStatus, 0x02, 0x6, 0x29, 0x04, ReadinessAnswer::Restarting, "unit attention 29h/04h: reset"},
    {kCheckStatus, 0x02, 0x6, 0x3F, 0x01, ReadinessAnswer::Restarting, "unit attention 3Fh/01h: microcode changed"},
    {kCheckStatus, 0x02, 0x6, 0x3F, 0x0E, ReadinessAnswer::Restarting,
     "unit attention 3Fh/0Eh: operating conditions changed"},
    {kCheckStatus, 0x02, 0x6, 0x2A, 0x01, ReadinessAnswer::Failed, "check condition, sense key 6h, ASC 2Ah, ASCQ 01h"},
    {kCheckStatus, 0x02, 0x4, 0x44, 0x00, ReadinessAnswer::Failed, "check condition, sense key 4h, ASC 44h, ASCQ 00h"},
    {kCheckStatus, 0x02, 0x5, 0x29, 0x00, ReadinessAnswer::Failed, "check condition, sense key 5h, ASC 29h, ASCQ 00h"},
    {kCheckStatus, 0x08, 0, 0, 0, ReadinessAnswer::Restarting, "busy (status 08h)"},
    {kCheckStatus, 0x28, 0, 0, 0, ReadinessAnswer::Restarting, "task set full (status 28h)"},
    {kCheckStatus, 0x18, 0, 0, 0, ReadinessAnswer::Failed, "status 18h"},
};

TEST(Readiness, RestartingAnswersAreWaitedOutAndOthersAreNamed)
{
    for (const AnswerCase& c : kAnswers) {
        ReadinessCheck check;
        check.result = c.result;
        check.status = c.status;
        check.codes = {c.senseKey, c.asc, c.ascq};
        EXPECT_EQ(ClassifyReadiness(check), c.answer) << c.text;
        EXPECT_EQ(ReadinessCheckText(check), c.text);
    }
}

}  // namespace
