// The download against simulated drives of a bench: the drive takes the
// image, restarts for seconds of its clock, and comes back on a new
// revision (or not).
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
        for (uint32_t number = 0; number < Sim().DriveCount(); ++number) Sim().Disk(number)->SetRestartClock(time.get());
    }

    void Download(size_t size)
    {
        opener.files["fw.lod"] = {.bytes = dltest::Pattern(size)};
        sequence.OnDownload("fw.lod");
        for (int ticks = 0; sequence.TimerActive() && ticks < 100; ++ticks) sequence.OnTimer();
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : prompts.messages) texts.push_back(shown.text);
        return texts;
    }

    StreamCapture capture;
    RecordingPrompts prompts;
    dltest::MemoryImageOpener opener;
    dltest::RecordingObserver observer;
    std::shared_ptr<FakeTime> time = std::make_shared<FakeTime>();
    DownloadSequence sequence{prompts, opener, &observer, dltest::InPlaceEnvironment(time, 120)};
};

TEST_F(DownloadBenchTest, EveryDriveTakesTheImageRestartsAndComesBackOnItsNewRevision)
{
    Start(Disk(0, 0, "MORVANE", R"("microcode": {"revisionAfter": "0415"})") + "," +
          Disk(1, 3, "VELDRAKE", R"("microcode": {"restartSeconds": 90, "revisionOffset": 1000})"));
    std::vector<uint8_t> image = dltest::Pattern(300000);
    std::copy_n("B23 ", 4, image.begin() + 1000);
    opener.files["fw.lod"] = {.bytes = image};
    sequence.OnDownload("fw.lod");
    for (int ticks = 0; sequence.TimerActive() && ticks < 100; ++ticks) sequence.OnTimer();

    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(DownloadSummaryText(observer.ended),
              "\\\\.\\physicaldrive0: OK, took the image; revision 0100 before, 0415 after\n"
              "\\\\.\\physicaldrive1: OK, took the image; revision 0100 before, B23 after\n"
              "2 of 2 drives took the image");
    EXPECT_NEAR(observer.ended[1].lastCheck->secondsWaited, 90, 1) << "the restart takes the drive's seconds";
    for (uint32_t number : {0u, 1u}) {
        SimDisk* disk = Sim().Disk(number);
        EXPECT_EQ(disk->MicrocodeImage(), image);
        EXPECT_EQ(disk->PendingUnitAttentions(), 0u) << "the restart's unit attentions were taken by the checks";
    }
}

TEST_F(DownloadBenchTest, ADriveStillRestartingWhenTheTimeIsUpTimesOutAndTheNextIsNotSent)
{
    Start(Disk(0, 0, "MORVANE", R"("microcode": {"restartSeconds": 121})") + "," + Disk(0, 1));
    Download(1000);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Timeout during Download - \\\\.\\physicaldrive0"});
    EXPECT_EQ(DownloadSummaryText(observer.ended),
              "\\\\.\\physicaldrive0: failed, did not become ready within 120 s (last answer: not ready, becoming "
              "ready (04h/01h))\n"
              "\\\\.\\physicaldrive1: not attempted, the download stopped at the failure of \\\\.\\physicaldrive0\n"
              "0 of 2 drives took the image");
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
    EXPECT_EQ(observer.Outcomes(), (std::vector<DriveOutcome>{DriveOutcome::TransferFailed, DriveOutcome::TookImage}));
    EXPECT_EQ(Sim().Disk(0)->MicrocodeImagesTaken(), 0u);
    EXPECT_EQ(Sim().Disk(1)->MicrocodeImagesTaken(), 1u);
}

}  // namespace
