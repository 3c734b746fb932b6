// The download sequence against scripted drives: what goes on the wire, in
// which order, and what the user is told.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "download/download_sequence.h"
#include "download_test_support.h"
#include "shell/device_table.h"
#include "support/recording_prompts.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

namespace {

using Reply = ScriptedDevice::Reply;
using dltest::Pattern;

std::vector<uint8_t> Sense(uint8_t key, uint8_t asc, uint8_t ascq)
{
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

Reply CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq)
{
    Reply reply;
    reply.status = kStatusCheckCondition;
    reply.sense = Sense(key, asc, ascq);
    return reply;
}

// Every reply carries sense bytes (zeros when GOOD), so the scripted device
// always has something to copy.
const Reply kGood = [] {
    Reply reply;
    reply.sense.assign(18, 0);
    return reply;
}();
const Reply kNotReady = CheckCondition(0x2, 0x04, 0x01);
const Reply kResetAttention = CheckCondition(0x6, 0x29, 0x00);
const Reply kNoAnswer = [] {
    Reply reply;
    reply.delivered = false;
    return reply;
}();

uint32_t Be24(const uint8_t* at)
{
    return (uint32_t{at[0]} << 16) | (uint32_t{at[1]} << 8) | at[2];
}

class DownloadSequenceTest : public ::testing::Test {
protected:
    // A drive in a slot of the device table, answering WRITE BUFFER with
    // pieceReply (GOOD by default) and each TEST UNIT READY with the next of
    // checks (GOOD when they run out). Every command lands in `wire`.
    struct Drive {
        std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
        std::deque<Reply> checks;
        std::function<Reply(size_t piece)> pieceReply;
        std::vector<std::vector<uint8_t>> pieces;
    };

    void SetUp() override { ClearDeviceTable(); }
    void TearDown() override { ClearDeviceTable(); }

    Drive& AddDrive(int slot, bool selected = true)
    {
        auto entry = std::make_unique<DeviceEntry>();
        entry->path = "\\\\.\\physicaldrive" + std::to_string(slot);
        entry->targetId = static_cast<uint8_t>(slot);
        entry->selected = selected;
        Drive& drive = drives[slot];
        entry->handle = drive.device;
        const std::string name = "d" + std::to_string(slot);
        drive.device->script = [this, &drive, name](const ScsiRequest& request) {
            if (request.Cdb[0] == 0x3B) {
                const uint32_t offset = Be24(request.Cdb + 3);
                const uint32_t length = Be24(request.Cdb + 6);
                wire.push_back(name + " WB " + std::to_string(offset) + "+" + std::to_string(length));
                const auto* data = static_cast<const uint8_t*>(request.DataBuffer);
                drive.pieces.emplace_back(data, data + (data ? length : 0));
                return drive.pieceReply ? drive.pieceReply(drive.pieces.size() - 1) : kGood;
            }
            wire.push_back(name + (request.Cdb[0] == 0x00 ? " TUR" : " other"));
            if (drive.checks.empty()) return kGood;
            const Reply reply = drive.checks.front();
            drive.checks.pop_front();
            return reply;
        };
        g_devices[static_cast<size_t>(slot)] = std::move(entry);
        return drive;
    }

    void AddFile(const std::string& name, std::vector<uint8_t> bytes) { opener.files[name] = {.bytes = std::move(bytes)}; }

    // Ticks until the sequence stops its timer, at most `limit` times.
    int TickUntilIdle(int limit = 50)
    {
        int ticks = 0;
        while (sequence.TimerActive() && ticks < limit) {
            sequence.OnTimer();
            ++ticks;
        }
        return ticks;
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : prompts.messages) texts.push_back(shown.text);
        return texts;
    }

    StreamCapture capture;  // the failed checks' reports on clog
    std::map<int, Drive> drives;
    std::vector<std::string> wire;
    RecordingPrompts prompts;
    dltest::MemoryImageOpener opener;
    dltest::RecordingObserver observer;
    DownloadSequence sequence{prompts, opener, &observer};
};

TEST_F(DownloadSequenceTest, TwoWholePiecesGoWithAnEmptyThirdAndAReadyDriveIsDone)
{
    Drive& drive = AddDrive(0);
    AddFile("fw.lod", Pattern(131072));
    sequence.OnInitDialog();
    sequence.OnDownload("fw.lod");

    EXPECT_EQ(prompts.questions, std::vector<std::string>{"Are you sure you want to downlaod fw.lod?"});
    EXPECT_EQ(wire, (std::vector<std::string>{"d0 WB 0+65536", "d0 WB 65536+65536", "d0 WB 131072+0"}));
    ASSERT_EQ(drive.pieces.size(), 3u);
    const auto image = Pattern(131072);
    EXPECT_EQ(drive.pieces[0], std::vector<uint8_t>(image.begin(), image.begin() + 65536));
    EXPECT_EQ(drive.pieces[1], std::vector<uint8_t>(image.begin() + 65536, image.end()));
    EXPECT_TRUE(drive.pieces[2].empty());
    for (const ScsiRequest& request : drive.device->requests) EXPECT_EQ(request.TimeOutValue, 120u);
    EXPECT_TRUE(sequence.Busy());
    EXPECT_TRUE(sequence.TimerActive());

    sequence.OnTimer();
    EXPECT_EQ(wire.back(), "d0 TUR");
    EXPECT_EQ(drive.device->requests.back().TimeOutValue, 1000u);
    EXPECT_FALSE(sequence.Busy());
    EXPECT_FALSE(sequence.TimerActive());
    EXPECT_FALSE(sequence.CloseRequested()) << "the dialog stays open for another download";
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(observer.outcomes.size(), 1u);
    EXPECT_EQ(observer.outcomes[0].second, DriveOutcome::TookImage);
    EXPECT_EQ(observer.events.back(), "ended");
}

TEST_F(DownloadSequenceTest, EmptyFileGoesAsOneEmptyPiece)
{
    Drive& drive = AddDrive(0);
    AddFile("empty.lod", {});
    sequence.OnDownload("empty.lod");
    EXPECT_EQ(wire, std::vector<std::string>{"d0 WB 0+0"});
    ASSERT_EQ(drive.device->requests.size(), 1u);
    EXPECT_EQ(drive.device->requests[0].DataTransferLength, 0u);
    TickUntilIdle();
    EXPECT_EQ(observer.outcomes.at(0).second, DriveOutcome::TookImage);
}

TEST_F(DownloadSequenceTest, FiveNotReadyAnswersThenTheResetAttentionIsDone)
{
    Drive& drive = AddDrive(0);
    drive.checks = {kNotReady, kNotReady, kNoAnswer, kNotReady, kNotReady, kResetAttention};
    AddFile("fw.lod", Pattern(1000));
    sequence.OnDownload("fw.lod");
    for (int i = 1; i <= 5; ++i) {
        sequence.OnTimer();
        EXPECT_EQ(sequence.DownloadRetries(), static_cast<uint32_t>(i));
        EXPECT_TRUE(sequence.TimerActive());
    }
    sequence.OnTimer();
    EXPECT_FALSE(sequence.Busy());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(observer.outcomes.at(0).second, DriveOutcome::TookImage);
    EXPECT_EQ(sequence.LastSense().asc, 0x29);
}

TEST_F(DownloadSequenceTest, SixNotReadyAnswersTimeOutAndTheNextTickCloses)
{
    Drive& drive = AddDrive(0);
    drive.checks = {kNotReady, kNotReady, kNotReady, kNoAnswer, kNotReady, kNotReady, kGood};
    AddFile("fw.lod", Pattern(1000));
    sequence.OnDownload("fw.lod");
    for (int i = 0; i < 6; ++i) sequence.OnTimer();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Timeout during Download - \\\\.\\physicaldrive0"});
    EXPECT_TRUE(sequence.StopRequested());
    EXPECT_EQ(observer.outcomes.at(0).second, DriveOutcome::Timeout);
    EXPECT_FALSE(sequence.CloseRequested());

    const size_t sent = wire.size();
    sequence.OnTimer();
    EXPECT_TRUE(sequence.CloseRequested());
    EXPECT_FALSE(sequence.TimerActive());
    EXPECT_EQ(wire.size(), sent) << "the closing tick checks nothing";
}

TEST_F(DownloadSequenceTest, AnotherCheckConditionIsAbnormalWithItsThreeBytes)
{
    Drive& drive = AddDrive(0);
    drive.checks = {kNotReady, CheckCondition(0xB, 0x47, 0x0A)};
    AddFile("fw.lod", Pattern(1000));
    sequence.OnDownload("fw.lod");
    TickUntilIdle();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Abnormal status during Download - \\\\.\\physicaldrive0, 0b 47 0a"});
    EXPECT_EQ(observer.outcomes.at(0).second, DriveOutcome::AbnormalStatus);
    EXPECT_TRUE(sequence.CloseRequested());
}

TEST_F(DownloadSequenceTest, SelectedDrivesAreServedOneAfterTheOther)
{
    Drive& first = AddDrive(0);
    AddDrive(1, false);
    Drive& third = AddDrive(2);
    first.checks = {kNotReady, kResetAttention};
    third.checks = {kGood};
    AddFile("fw.lod", Pattern(70000));
    sequence.OnDownload("fw.lod");
    TickUntilIdle();
    EXPECT_EQ(wire, (std::vector<std::string>{"d0 WB 0+65536", "d0 WB 65536+4464", "d0 TUR", "d0 TUR",
                                              "d2 WB 0+65536", "d2 WB 65536+4464", "d2 TUR"}));
    const auto image = Pattern(70000);
    EXPECT_EQ(third.pieces.at(1), std::vector<uint8_t>(image.begin() + 65536, image.end()));
    ASSERT_EQ(observer.outcomes.size(), 2u);
    EXPECT_EQ(observer.outcomes[1].first, "\\\\.\\physicaldrive2");
    EXPECT_EQ(observer.outcomes[1].second, DriveOutcome::TookImage);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(sequence.CloseRequested());
}

TEST_F(DownloadSequenceTest, AnErrorEndsTheDownloadBeforeTheNextDrive)
{
    Drive& first = AddDrive(0);
    Drive& second = AddDrive(1);
    first.checks = {CheckCondition(0x4, 0x44, 0x00)};
    AddFile("fw.lod", Pattern(10));
    sequence.OnDownload("fw.lod");
    TickUntilIdle();
    EXPECT_TRUE(second.device->requests.empty()) << "no image goes to a drive that nobody will check";
    EXPECT_TRUE(sequence.CloseRequested());
    EXPECT_EQ(observer.outcomes.size(), 1u);
}

TEST_F(DownloadSequenceTest, CancelWhileBusyClosesAtTheNextTickWithoutAnotherCheck)
{
    Drive& drive = AddDrive(0);
    AddDrive(1);
    drive.checks = {kNotReady, kNotReady, kNotReady};
    AddFile("fw.lod", Pattern(10));
    sequence.OnDownload("fw.lod");
    sequence.OnTimer();
    sequence.OnCancel();
    EXPECT_FALSE(sequence.CloseRequested());
    const size_t sent = wire.size();
    sequence.OnTimer();
    EXPECT_TRUE(sequence.CloseRequested());
    EXPECT_EQ(wire.size(), sent);
    EXPECT_EQ(observer.outcomes.at(0).second, DriveOutcome::NotChecked);
    EXPECT_TRUE(drives[1].device->requests.empty());
}

TEST_F(DownloadSequenceTest, CancelWhileIdleClosesAtOnce)
{
    AddDrive(0);
    sequence.OnCancel();
    EXPECT_TRUE(sequence.CloseRequested());
    EXPECT_TRUE(sequence.StopRequested());
}

TEST_F(DownloadSequenceTest, FilesThatCannotBeReadSendNothing)
{
    Drive& drive = AddDrive(0);
    opener.files["bad.lod"] = {.bytes = Pattern(4000), .readError = EIO, .readErrorAfter = 1000};
    opener.files["short.lod"] = {.bytes = Pattern(4000), .endAfter = 3000};
    opener.files["big.lod"] = {.bytes = std::vector<uint8_t>(kMaxMicrocodeImageSize + 1)};
    for (const char* name : {"none.lod", "bad.lod", "short.lod", "big.lod"}) sequence.OnDownload(name);

    const auto texts = Messages();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0].substr(0, texts[0].find('\n')), "File could not be opened");
    EXPECT_NE(texts[0].find("No such file or directory"), std::string::npos) << "and says why";
    EXPECT_EQ(texts[1].substr(0, texts[1].find('\n')), "Failed to read file");
    EXPECT_EQ(texts[2], "File size(4000) != bytes read(3000)");
    EXPECT_EQ(texts[3].rfind("File size(16777216) is too large", 0), 0u);
    EXPECT_TRUE(drive.device->requests.empty());
    EXPECT_FALSE(sequence.Busy());
    EXPECT_FALSE(sequence.CloseRequested());
}

TEST_F(DownloadSequenceTest, NoConfirmationNoFileNoDriveTouched)
{
    Drive& drive = AddDrive(0);
    AddFile("fw.lod", Pattern(10));
    prompts.answers = {false};
    sequence.OnDownload("fw.lod");
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_TRUE(drive.device->requests.empty());
    EXPECT_FALSE(sequence.TimerActive());
}

TEST_F(DownloadSequenceTest, NoSelectedDriveClosesTheDialog)
{
    Drive& drive = AddDrive(0, false);
    AddFile("fw.lod", Pattern(10));
    sequence.OnDownload("fw.lod");
    EXPECT_EQ(Messages(), std::vector<std::string>{"NO Target Device selected for download"});
    EXPECT_TRUE(sequence.CloseRequested());
    EXPECT_TRUE(drive.device->requests.empty());
}

TEST_F(DownloadSequenceTest, FailedCallStopsThatDrivesTransferButItIsStillChecked)
{
    Drive& drive = AddDrive(0);
    drive.pieceReply = [](size_t piece) { return piece == 1 ? kNoAnswer : kGood; };
    AddFile("fw.lod", Pattern(200000));
    sequence.OnDownload("fw.lod");
    EXPECT_EQ(wire, (std::vector<std::string>{"d0 WB 0+65536", "d0 WB 65536+65536"}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Download - \\\\.\\physicaldrive0\nError 5:\nInput/output error"});
    TickUntilIdle();
    EXPECT_EQ(wire.back(), "d0 TUR");
    EXPECT_EQ(observer.outcomes.at(0).second, DriveOutcome::TransferFailed);
}

TEST_F(DownloadSequenceTest, StatusOnAPieceShowsStatusAndSenseBytes)
{
    Drive& drive = AddDrive(0);
    drive.pieceReply = [](size_t) { return CheckCondition(0x5, 0x26, 0x00); };
    AddDrive(1);
    AddFile("fw.lod", Pattern(70000));
    sequence.OnDownload("fw.lod");
    EXPECT_EQ(wire, std::vector<std::string>{"d0 WB 0+65536"});
    EXPECT_EQ(Messages(), std::vector<std::string>{"Download - \\\\.\\physicaldrive0\nScsi status: 02h\n"
                                                   "Sense Info -- consult SCSI sp" "ec for details\n"
                                                   "70 00 05 00 00 00 00 0A 00 00 00 00 26 00 00 00 00 00 "
                                                   "00 00 00 00 00 00 "});
    TickUntilIdle();
    EXPECT_EQ(observer.outcomes.at(0).second, DriveOutcome::TransferFailed);
    EXPECT_EQ(observer.outcomes.at(1).second, DriveOutcome::TookImage) << "the next drive still gets the image";
}

TEST_F(DownloadSequenceTest, DownloadPressWhileBusyIsIgnored)
{
    Drive& drive = AddDrive(0);
    drive.checks = {kNotReady};
    AddFile("fw.lod", Pattern(10));
    sequence.OnDownload("fw.lod");
    sequence.OnTimer();
    sequence.OnDownload("fw.lod");
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(drive.pieces.size(), 1u);
    EXPECT_EQ(sequence.DownloadRetries(), 1u);
}

}  // namespace
