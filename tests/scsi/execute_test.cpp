#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "scsi/builders.h"
#include "scsi/execute.h"
#include "scsi/stop.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

namespace {

const std::vector<uint8_t> kMediumErrorSense = {0x70, 0, 0x03, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0,
                                                0x11, 0x00, 0, 0, 0, 0, 0x5A, 0x77};

class ExecuteTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        g_bStopRequested = 0;
        g_bNoAbort = 0;
        MarkTestWorkerThread(false);
    }
    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceHandle handle = device;
    ScsiRequest request;
};

TEST_F(ExecuteTest, CheckConditionReportsCallResultStatusAndSense)
{
    device->next.status = kStatusCheckCondition;
    device->next.sense = kMediumErrorSense;
    StreamCapture capture;
    EXPECT_EQ(ExecuteScsiRequest(request, &handle, 1, 1), 0);
    EXPECT_EQ(device->requests.back().SenseInfoLength, kSenseInfoLength) << "room for the sense";
    EXPECT_EQ(capture.Log(),
              "Ioctl status = 01    Target Status = 02\n"
              "Sense Data: \n"
              "000: 70 00 03 00 00 00 00 0A 00 00 00 00 11 00 00 00 \n"
              "010: 00 00 5A \n");
    EXPECT_EQ(capture.Out(), "");
}

TEST_F(ExecuteTest, FailedCallReportsZeroesAndKeepsStatusZero)
{
    device->next.delivered = false;
    StreamCapture capture;
    EXPECT_EQ(ExecuteScsiRequest(request, &handle, 0, 1), 0);
    EXPECT_EQ(request.ScsiStatus, 0);
    EXPECT_EQ(capture.Log().substr(0, 40), "Ioctl status = 00    Target Status = 00\n");
}

TEST_F(ExecuteTest, StopEndsTheWorkerBeforeTheCommandIsSent)
{
    bool stopped = false;
    std::thread worker([&] {
        MarkTestWorkerThread();
        g_bStopRequested = 1;
        try {
            ExecuteScsiRequest(request, &handle, 1, 0);
        } catch (const WorkerStopped&) {
            stopped = true;
        }
    });
    worker.join();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(device->requests.empty());
    EXPECT_EQ(g_bStopRequested, 0) << "the stop is consumed";
}

TEST_F(ExecuteTest, NoAbortStepRunsTheCommandAndKeepsTheStopPending)
{
    std::thread worker([&] {
        MarkTestWorkerThread();
        g_bStopRequested = 1;
        g_bNoAbort = 1;
        EXPECT_EQ(ExecuteScsiRequest(request, &handle, 1, 0), 1);
    });
    worker.join();
    EXPECT_EQ(device->requests.size(), 1u);
    EXPECT_EQ(g_bStopRequested, 1);
}

TEST_F(ExecuteTest, UserInterfaceCommandNeitherEndsNorConsumesAPendingStop)
{
    g_bStopRequested = 1;
    EXPECT_EQ(ExecuteScsiRequest(request, &handle, 1, 0), 1);
    EXPECT_EQ(device->requests.size(), 1u);
    EXPECT_EQ(g_bStopRequested, 1);
}

}  // namespace
