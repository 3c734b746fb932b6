// The download sequence against scripted drives: what goes on the wire, in
// which order, how long a restarting drive is waited for, and what the user
// is told.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <thread>

#include "download/download_sequence.h"
#include "download_test_support.h"
#include "drives/device_table.h"
#include "scsi/byte_order.h"
#include "support/blocking_device.h"
#include "support/fixed_sense.h"
#include "support/recording_prompts.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

namespace {

using Reply = ScriptedDevice::Reply;
using dltest::Pattern;

Reply CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq)
{
    Reply reply;
    reply.status = kStatusCheckCondition;
    reply.sense = FixedSense(key, asc, ascq);
    return reply;
}

// Every reply carries sense bytes (zeros when GOOD), so the scripted device
// always has something to copy.
const Reply kGood = [] {
    Reply reply;
    reply.sense.assign(18, 0);
    return reply;
}();
const Reply kBecomingReady = CheckCondition(0x2, 0x04, 0x01);
const Reply kNoAnswer = [] {
    Reply reply;
    reply.delivered = false;
    return reply;
}();

Reply StatusOnly(uint8_t status)
{
    Reply reply;
    reply.status = status;
    return reply;
}

std::vector<Reply> Times(size_t count, const Reply& reply)
{
    return std::vector<Reply>(count, reply);
}

std::vector<Reply> Then(std::vector<Reply> first, const std::vector<Reply>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const std::string kPath0 = "\\\\.\\physicaldrive0";

class DownloadSequenceTest : public ::testing::Test {
protected:
    // A drive in a slot of the device table, at revision 0412, answering
    // WRITE BUFFER with pieceReply (GOOD by default), each TEST UNIT READY
    // with the next of checks (then afterChecks), and INQUIRY with
    // `revision`. Every command lands in `wire`.
    struct Drive {
        std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
        std::deque<Reply> checks;
        Reply afterChecks = kGood;
        std::function<Reply(size_t piece)> pieceReply;
        std::vector<std::vector<uint8_t>> pieces;
        std::string revision = "0415";
        size_t inquiryLength = 36;
    };

    void SetUp() override
    {
        ClearDeviceTable();
        sequence.emplace(prompts, opener, &observer, dltest::InPlaceEnvironment(time, ReadyTimeout()));
    }
    virtual uint32_t ReadyTimeout() const { return kDefaultReadyTimeoutSeconds; }
    void TearDown() override { ClearDeviceTable(); }

    Drive& AddDrive(int slot, bool selected = true)
    {
        auto entry = std::make_unique<DeviceEntry>();
        entry->path = "\\\\.\\physicaldrive" + std::to_string(slot);
        entry->targetId = static_cast<uint8_t>(slot);
        entry->selected = selected;
        std::snprintf(entry->revision, sizeof entry->revision, "0412");
        Drive& drive = drives[slot];
        entry->handle = drive.device;
        const std::string name = "d" + std::to_string(slot);
        drive.device->script = [this, &drive, name](const ScsiRequest& request) {
            switch (request.Cdb[0]) {
            case 0x3B: {
                const uint32_t offset = LoadBe24(request.Cdb + 3);
                const uint32_t length = LoadBe24(request.Cdb + 6);
                wire.push_back(name + " WB " + std::to_string(offset) + "+" + std::to_string(length));
                const auto* data = static_cast<const uint8_t*>(request.DataBuffer);
                drive.pieces.emplace_back(data, data + (data ? length : 0));
                return drive.pieceReply ? drive.pieceReply(drive.pieces.size() - 1) : kGood;
            }
            case 0x12: {
                wire.push_back(name + " INQ");
                Reply reply = kGood;
                reply.data.assign(36, ' ');
                std::copy(drive.revision.begin(), drive.revision.end(), reply.data.begin() + 32);
                reply.data.resize(drive.inquiryLength);
                return reply;
            }
            case 0x00: {
                wire.push_back(name + " TUR");
                if (drive.checks.empty()) return drive.afterChecks;
                const Reply reply = drive.checks.front();
                drive.checks.pop_front();
                return reply;
            }
            default: wire.push_back(name + " other"); return kGood;
            }
        };
        g_devices[static_cast<size_t>(slot)] = std::move(entry);
        return drive;
    }

    void AddFile(const std::string& name, std::vector<uint8_t> bytes) { opener.files[name] = {.bytes = std::move(bytes)}; }

    // Ticks until the sequence stops its timer, at most `limit` times.
    void TickUntilIdle(int limit = 50)
    {
        for (int ticks = 0; sequence->TimerActive() && ticks < limit; ++ticks) sequence->OnTimer();
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : prompts.messages) texts.push_back(shown.text);
        return texts;
    }

    size_t Count(const std::string& command) const { return static_cast<size_t>(std::count(wire.begin(), wire.end(), command)); }

    StreamCapture capture;  // the failed checks' reports on clog
    std::map<int, Drive> drives;
    std::vector<std::string> wire;
    RecordingPrompts prompts;
    dltest::MemoryImageOpener opener;
    dltest::RecordingObserver observer;
    std::shared_ptr<FakeTime> time = std::make_shared<FakeTime>();
    std::optional<DownloadSequence> sequence;
};

TEST_F(DownloadSequenceTest, TwoWholePiecesGoWithAnEmptyThirdThenTheDriveIsCheckedAndAskedItsRevision)
{
    Drive& drive = AddDrive(0);
    AddFile("fw.lod", Pattern(131072));
    sequence->OnInitDialog();
    sequence->OnDownload("fw.lod");

    EXPECT_EQ(prompts.questions, std::vector<std::string>{"Are you sure you want to downlaod fw.lod?"});
    EXPECT_EQ(wire, (std::vector<std::string>{"d0 WB 0+65536", "d0 WB 65536+65536", "d0 WB 131072+0", "d0 TUR",
                                              "d0 INQ"}));
    ASSERT_EQ(drive.pieces.size(), 3u);
    const auto image = Pattern(131072);
    EXPECT_EQ(drive.pieces[0], std::vector<uint8_t>(image.begin(), image.begin() + 65536));
    EXPECT_EQ(drive.pieces[1], std::vector<uint8_t>(image.begin() + 65536, image.end()));
    EXPECT_TRUE(drive.pieces[2].empty());
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(drive.device->requests[i].TimeOutValue, 120u);
    EXPECT_EQ(drive.device->requests[3].TimeOutValue, 30u) << "a check does not hold the drive for minutes";
    EXPECT_TRUE(sequence->Busy());

    sequence->OnTimer();
    EXPECT_FALSE(sequence->Busy());
    EXPECT_FALSE(sequence->TimerActive());
    EXPECT_FALSE(sequence->CloseRequested()) << "the dialog stays open for another download";
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(observer.ended.size(), 1u);
    EXPECT_EQ(DriveReportText(observer.ended[0]), kPath0 + ": OK, took the image; revision 0412 before, 0415 after");
    EXPECT_STREQ(g_devices[0]->revision, "0415") << "the device table shows what the drive runs now";
}

TEST_F(DownloadSequenceTest, ARevisionTheDriveDidNotSendIsNotMadeUp)
{
    Drive& drive = AddDrive(0);
    drive.inquiryLength = 32;
    AddFile("fw.lod", Pattern(10));
    sequence->OnDownload("fw.lod");
    TickUntilIdle();
    ASSERT_EQ(observer.ended.size(), 1u);
    EXPECT_EQ(DriveReportText(observer.ended[0]), kPath0 + ": OK, took the image; revision 0412 before, not read after");
    EXPECT_STREQ(g_devices[0]->revision, "0412");
}

// How the wait after the transfer ends: the drive's answers to TEST UNIT
// READY (the last one repeating) against the time allowed.
struct WaitCase {
    const char* name;
    std::vector<Reply> checks;
    uint32_t readyTimeout;
    DriveOutcome outcome;
    const char* message;     // the message box, if any
    int64_t lastCheckAfter;  // seconds from the first check to the last
};

void PrintTo(const WaitCase& c, std::ostream* out)
{
    *out << c.name;
}

class DownloadWaitTest : public DownloadSequenceTest, public ::testing::WithParamInterface<WaitCase> {
protected:
    uint32_t ReadyTimeout() const override { return GetParam().readyTimeout; }
};

TEST_P(DownloadWaitTest, ARestartingDriveIsWaitedForAndAnythingElseEndsTheWait)
{
    const WaitCase& c = GetParam();
    Drive& drive = AddDrive(0);
    drive.checks.assign(c.checks.begin(), c.checks.end() - 1);
    drive.afterChecks = c.checks.back();
    AddFile("fw.lod", Pattern(1000));
    sequence->OnDownload("fw.lod");
    TickUntilIdle();

    ASSERT_EQ(observer.ended.size(), 1u);
    const DriveReport& report = observer.ended[0];
    EXPECT_EQ(report.outcome, c.outcome) << DriveReportText(report);
    EXPECT_EQ(Messages(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    ASSERT_TRUE(report.lastCheck);
    EXPECT_EQ(report.lastCheck->secondsWaited, c.lastCheckAfter);
    EXPECT_EQ(Count("d0 INQ"), c.outcome == DriveOutcome::TookImage ? 1u : 0u) << "INQUIRY once the drive is back";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DownloadWaitTest,
    ::testing::Values(
        WaitCase{"restart", Then(Times(30, kBecomingReady), {kNoAnswer, kNoAnswer, CheckCondition(0x6, 0x29, 0x00),
                                                             CheckCondition(0x6, 0x3F, 0x01), kGood}),
                 300, DriveOutcome::TookImage, nullptr, 16},
        WaitCase{"in progress", {CheckCondition(0x2, 0x04, 0x07), CheckCondition(0x2, 0x04, 0x11),
                                 CheckCondition(0x2, 0x04, 0x0A), CheckCondition(0x6, 0x3F, 0x03), kGood},
                 300, DriveOutcome::TookImage, nullptr, 1},
        WaitCase{"busy", {StatusOnly(0x08), StatusOnly(0x28), kGood}, 300, DriveOutcome::TookImage, nullptr, 1},
        WaitCase{"reserved by another", {StatusOnly(0x18)}, 300, DriveOutcome::AbnormalStatus,
                 "Abnormal status during Download - \\\\.\\physicaldrive0, 00 00 00", 0},
        WaitCase{"still restarting", {kBecomingReady}, 10, DriveOutcome::Timeout,
                 "Timeout during Download - \\\\.\\physicaldrive0", 10},
        WaitCase{"never answers", {kNoAnswer}, 5, DriveOutcome::Timeout,
                 "Timeout during Download - \\\\.\\physicaldrive0", 5},
        WaitCase{"no time to wait", {kBecomingReady}, 0, DriveOutcome::Timeout,
                 "Timeout during Download - \\\\.\\physicaldrive0", 0},
        WaitCase{"manual intervention", {kBecomingReady, kBecomingReady, CheckCondition(0x2, 0x04, 0x03)}, 300,
                 DriveOutcome::AbnormalStatus, "Abnormal status during Download - \\\\.\\physicaldrive0, 02 04 03", 1},
        WaitCase{"hardware error", {CheckCondition(0x4, 0x44, 0x00)}, 300, DriveOutcome::AbnormalStatus,
                 "Abnormal status during Download - \\\\.\\physicaldrive0, 04 44 00", 0}),
    [](const ::testing::TestParamInfo<WaitCase>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST_F(DownloadSequenceTest, SelectedDrivesAreServedOneAfterTheOther)
{
    Drive& first = AddDrive(0);
    AddDrive(1, false);
    Drive& third = AddDrive(2);
    first.checks = {kBecomingReady, CheckCondition(0x6, 0x29, 0x00)};
    AddFile("fw.lod", Pattern(70000));
    sequence->OnDownload("fw.lod");
    TickUntilIdle();
    EXPECT_EQ(wire, (std::vector<std::string>{"d0 WB 0+65536", "d0 WB 65536+4464", "d0 TUR", "d0 TUR", "d0 TUR",
                                              "d0 INQ", "d2 WB 0+65536", "d2 WB 65536+4464", "d2 TUR", "d2 INQ"}));
    const auto image = Pattern(70000);
    EXPECT_EQ(third.pieces.at(1), std::vector<uint8_t>(image.begin() + 65536, image.end()));
    EXPECT_EQ(observer.Outcomes(), (std::vector<DriveOutcome>{DriveOutcome::TookImage, DriveOutcome::TookImage}));
    EXPECT_EQ(observer.ended[1].path, "\\\\.\\physicaldrive2");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(sequence->CloseRequested());
}

TEST_F(DownloadSequenceTest, AnErrorEndsTheDownloadAndEveryDriveIsAccountedFor)
{
    AddDrive(0);
    Drive& second = AddDrive(1);
    Drive& third = AddDrive(2);
    second.afterChecks = CheckCondition(0x4, 0x44, 0x00);
    AddFile("fw.lod", Pattern(10));
    sequence->OnDownload("fw.lod");
    TickUntilIdle();
    EXPECT_TRUE(third.device->requests.empty()) << "no image goes to a drive after one it has just failed";
    EXPECT_TRUE(sequence->CloseRequested());
    EXPECT_EQ(DownloadSummaryText(observer.ended),
              kPath0 + ": OK, took the image; revision 0412 before, 0415 after\n"
                       "\\\\.\\physicaldrive1: failed, abnormal status after the transfer: check condition, sense key "
                       "4h, ASC 44h, ASCQ 00h\n"
                       "\\\\.\\physicaldrive2: not attempted, the download stopped at the failure of "
                       "\\\\.\\physicaldrive1\n"
                       "1 of 3 drives took the image");
}

// A drive holds a command (a piece, or the check after the transfer) as a
// drive that does not answer does, on a worker of its own.
struct HeldCase {
    const char* name;
    uint8_t opcode;
    std::vector<std::string> wire;  // everything the drive ever gets
};

void PrintTo(const HeldCase& c, std::ostream* out)
{
    *out << c.name;
}

class DownloadHeldTest : public DownloadSequenceTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(DownloadHeldTest, CancelActsAtOnceAndNothingMoreIsSentToTheDrive)
{
    Drive& drive = AddDrive(0);
    AddDrive(1);
    drive.afterChecks = kBecomingReady;
    auto held = std::make_shared<BlockingDevice>(drive.device, GetParam().opcode);
    g_devices[0]->handle = held;
    AddFile("fw.lod", Pattern(70000));
    std::thread worker;
    DownloadEnvironment environment = dltest::InPlaceEnvironment(time);
    environment.launch = [&worker](std::function<void()> work) { worker = std::thread(std::move(work)); };
    DownloadSequence threaded(prompts, opener, &observer, environment);

    threaded.OnDownload("fw.lod");
    for (int i = 0; i < 500 && !held->blocked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(held->blocked);
    threaded.OnTimer();  // returns although the drive holds a command
    EXPECT_TRUE(threaded.Busy());
    threaded.OnCancel();
    EXPECT_TRUE(threaded.CloseRequested());
    EXPECT_FALSE(threaded.Busy());
    EXPECT_EQ(observer.Outcomes(), (std::vector<DriveOutcome>{DriveOutcome::Cancelled, DriveOutcome::NotAttempted}));
    EXPECT_EQ(DriveReportText(observer.ended[1]), "\\\\.\\physicaldrive1: not attempted, the download was cancelled");

    held->Release();
    worker.join();
    EXPECT_EQ(wire, GetParam().wire) << "the held command was the last";
}

INSTANTIATE_TEST_SUITE_P(Commands, DownloadHeldTest,
                         ::testing::Values(HeldCase{"piece", 0x3B, {"d0 WB 0+65536"}},
                                           HeldCase{"check", 0x00, {"d0 WB 0+65536", "d0 WB 65536+4464", "d0 TUR"}}),
                         [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

TEST_F(DownloadSequenceTest, FilesThatCannotBeReadSendNothing)
{
    Drive& drive = AddDrive(0);
    opener.files["bad.lod"] = {.bytes = Pattern(4000), .readError = EIO, .readErrorAfter = 1000};
    opener.files["short.lod"] = {.bytes = Pattern(4000), .endAfter = 3000};
    opener.files["big.lod"] = {.bytes = std::vector<uint8_t>(kMaxMicrocodeImageSize + 1)};
    opener.files["empty.lod"] = {.bytes = {}};
    for (const char* name : {"none.lod", "bad.lod", "short.lod", "big.lod", "empty.lod"}) sequence->OnDownload(name);

    // Each says why (the texts: MicrocodeImageRead); none of them sends anything.
    EXPECT_EQ(prompts.messages.size(), 5u);
    EXPECT_TRUE(drive.device->requests.empty());
    EXPECT_FALSE(sequence->Busy());
    EXPECT_FALSE(sequence->CloseRequested());
}

TEST_F(DownloadSequenceTest, FailedCallStopsThatDrivesTransferButItIsStillChecked)
{
    Drive& drive = AddDrive(0);
    drive.revision = "0412";
    drive.pieceReply = [](size_t piece) { return piece == 1 ? kNoAnswer : kGood; };
    AddFile("fw.lod", Pattern(200000));
    sequence->OnDownload("fw.lod");
    TickUntilIdle();
    EXPECT_EQ(wire, (std::vector<std::string>{"d0 WB 0+65536", "d0 WB 65536+65536", "d0 TUR", "d0 INQ"}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Download - \\\\.\\physicaldrive0\nError 5:\nInput/output error"});
    ASSERT_EQ(observer.ended.size(), 1u);
    EXPECT_EQ(DriveReportText(observer.ended[0]),
              kPath0 + ": failed, transfer failed: the piece at offset 65536 never reached the drive (error 5: "
                       "Input/output error); the drive reports revision 0412");
}

}  // namespace

TEST_F(DownloadSequenceTest, AllAtOnceAFailingDriveStopsNoOtherAndTheDialogClosesWhenAllAreDone)
{
    AddDrive(0);
    Drive& failing = AddDrive(1);
    Drive& third = AddDrive(2);
    failing.afterChecks = CheckCondition(0x4, 0x44, 0x00);
    AddFile("fw.lod", Pattern(70000));
    sequence->SetAllAtOnce(true);
    sequence->OnDownload("fw.lod");
    TickUntilIdle();
    EXPECT_EQ(third.pieces.size(), 2u);
    EXPECT_EQ(observer.Outcomes(),
              (std::vector<DriveOutcome>{DriveOutcome::TookImage, DriveOutcome::AbnormalStatus, DriveOutcome::TookImage}));
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "Abnormal status during Download - \\\\.\\physicaldrive1, 04 44 00"}));
    EXPECT_TRUE(sequence->CloseRequested());
}

TEST_F(DownloadSequenceTest, AllAtOnceADriveHoldingACommandHoldsUpNoOtherAndCancelEndsIt)
{
    Drive& held = AddDrive(0);
    AddDrive(1);
    auto blocking = std::make_shared<BlockingDevice>(held.device, 0x3B);
    g_devices[0]->handle = blocking;
    AddFile("fw.lod", Pattern(70000));
    std::vector<std::thread> workers;
    DownloadEnvironment environment = dltest::InPlaceEnvironment(time);
    environment.launch = [&workers](std::function<void()> work) { workers.emplace_back(std::move(work)); };
    DownloadSequence threaded(prompts, opener, &observer, environment);
    threaded.SetAllAtOnce(true);

    threaded.OnDownload("fw.lod");
    for (int i = 0; i < 1000 && observer.finished.empty(); ++i) {
        threaded.OnTimer();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(observer.finished.size(), 1u);
    EXPECT_EQ(observer.finished[0].path, "\\\\.\\physicaldrive1");
    EXPECT_TRUE(threaded.Busy()) << "drive 0 is still in its first piece";
    threaded.OnCancel();
    EXPECT_EQ(observer.Outcomes(), (std::vector<DriveOutcome>{DriveOutcome::Cancelled, DriveOutcome::TookImage}));

    blocking->Release();
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(held.pieces.size(), 1u) << "nothing more went to the drive once cancelled";
}
