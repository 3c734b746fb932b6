// The download against simulated drives of a bench: the drive takes the
// image, restarts, and the sequence sees it come back (or not).
#include <gtest/gtest.h>

#include "download/download_sequence.h"
#include "download_test_support.h"
#include "sim/sim_disk.h"
#include "support/bench_fixture.h"
#include "support/recording_prompts.h"
#include "support/stream_capture.h"

namespace {

class DownloadBenchTest : public BenchFixture {
protected:
    void Start(const std::string& devices)
    {
        Load(Bench(2, devices));
        Scan();
        for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice()) SetDeviceSelected(*entry, true);
    }

    void Download(size_t size)
    {
        opener.files["fw.lod"] = {.bytes = dltest::Pattern(size)};
        sequence.OnDownload("fw.lod");
        for (int ticks = 0; sequence.TimerActive() && ticks < 100; ++ticks) sequence.OnTimer();
    }

    std::vector<DriveOutcome> Outcomes() const
    {
        std::vector<DriveOutcome> outcomes;
        for (const auto& [path, outcome] : observer.outcomes) outcomes.push_back(outcome);
        return outcomes;
    }

    StreamCapture capture;
    RecordingPrompts prompts;
    dltest::MemoryImageOpener opener;
    dltest::RecordingObserver observer;
    DownloadSequence sequence{prompts, opener, &observer};
};

TEST_F(DownloadBenchTest, EveryDriveTakesTheImageAndComesBack)
{
    Start(Disk(0, 0) + "," + Disk(1, 3, "VELDRAKE", "\"microcode\": {\"resetCommands\": 5}"));
    Download(300000);
    EXPECT_EQ(Outcomes(), (std::vector<DriveOutcome>{DriveOutcome::TookImage, DriveOutcome::TookImage}));
    EXPECT_TRUE(prompts.messages.empty());
    for (uint32_t number : {0u, 1u}) {
        SimDisk* disk = Sim().Disk(number);
        EXPECT_EQ(disk->MicrocodeImagesTaken(), 1u);
        EXPECT_EQ(disk->MicrocodeImage(), dltest::Pattern(300000));
    }
    // The reset is over: the drive answers again.
    EXPECT_EQ(Sim().Disk(1)->PendingUnitAttentions(), 0u);
}

TEST_F(DownloadBenchTest, ADriveThatStaysNotReadyTimesOut)
{
    Start(Disk(0, 0, "MORVANE", "\"microcode\": {\"resetCommands\": 6}") + "," + Disk(0, 1));
    Download(1000);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Timeout during Download - \\\\.\\physicaldrive0");
    EXPECT_EQ(Outcomes(), std::vector<DriveOutcome>{DriveOutcome::Timeout});
    EXPECT_EQ(Sim().Disk(1)->MicrocodeImagesTaken(), 0u);
    EXPECT_TRUE(sequence.CloseRequested());
}

TEST_F(DownloadBenchTest, ADriveThatRejectsTheImageSaysSoWithItsSense)
{
    Start(Disk(0, 0, "MORVANE",
               "\"microcode\": {\"rejectImage\": {\"senseKey\": 5, \"asc\": \"0x26\", \"ascq\": 2}}") +
          "," + Disk(0, 1));
    Download(65536);
    ASSERT_EQ(prompts.messages.size(), 1u);
    const std::string& text = prompts.messages[0].text;
    EXPECT_EQ(text.rfind("Download - \\\\.\\physicaldrive0\nScsi status: 02h\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n70 00 05 00 00 00 00 0A 00 00 00 00 26 02 "), std::string::npos) << text;
    EXPECT_EQ(Outcomes(), (std::vector<DriveOutcome>{DriveOutcome::TransferFailed, DriveOutcome::TookImage}));
    EXPECT_EQ(Sim().Disk(0)->MicrocodeImagesTaken(), 0u);
    EXPECT_EQ(Sim().Disk(1)->MicrocodeImagesTaken(), 1u);
}

TEST_F(DownloadBenchTest, APieceThatNeverReachesTheDriveIsAFailedCall)
{
    Start(Disk(0, 0, "MORVANE", "\"microcode\": {\"failPiece\": {\"piece\": 1, \"action\": \"callFails\"}}"));
    Download(200000);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Download - \\\\.\\physicaldrive0\nError 5:\nInput/output error");
    EXPECT_EQ(Outcomes(), std::vector<DriveOutcome>{DriveOutcome::TransferFailed});
    EXPECT_EQ(Sim().Disk(0)->MicrocodeImagesTaken(), 0u);
}

TEST_F(DownloadBenchTest, ADriveThatNeverComesBackTimesOut)
{
    Start(Disk(0, 0, "MORVANE", "\"microcode\": {\"neverReady\": true}"));
    Download(10);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Timeout during Download - \\\\.\\physicaldrive0");
    EXPECT_EQ(Sim().Disk(0)->MicrocodeImagesTaken(), 1u) << "it took the image, then did not restart";
}

}  // namespace
