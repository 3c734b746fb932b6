// The download sequence against scripted drives: what goes on the wire, in
// which order, how long a restarting drive is waited for, and what the user
// is told.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "download/download_sequence.h"
#include "download_test_support.h"
#include "drives/device_table.h"
#include "scsi/byte_order.h"
#include "support/blocking_device.h"
#include "support/case_file.h"
#include "support/fixed_sense.h"
#include "support/hex_fixture.h"
#include "support/recording_prompts.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

namespace {

using Reply = ScriptedDevice::Reply;
using dltest::Pattern;

// good, none (never delivered), becoming (2/04/01), "status 18" or "4/44/00".
// Every delivered reply carries sense bytes (zeros when GOOD), so the
// scripted device always has something to copy.
Reply Answer(const std::string& word)
{
    const auto hex = [&word](size_t at, size_t n) {
        return static_cast<uint8_t>(std::stoul(word.substr(at, n), nullptr, 16));
    };
    Reply reply;
    reply.sense.assign(18, 0);
    if (word == "none") {
        reply.delivered = false;
    } else if (word == "becoming") {
        return Answer("2/04/01");
    } else if (word.rfind("status ", 0) == 0) {
        reply.status = hex(7, 2);
    } else if (word != "good") {
        reply.status = kStatusCheckCondition;
        reply.sense = FixedSense(hex(0, 1), hex(2, 2), hex(5, 2));
    }
    return reply;
}

class DownloadSequenceTest : public ::testing::Test {
protected:
    // A drive in a slot of the device table, at revision 0412, answering
    // WRITE BUFFER with pieceReply (GOOD by default), each TEST UNIT READY
    // with the next of checks (then afterChecks), and INQUIRY with
    // `revision`. Every command lands in `wire`; every piece must carry the
    // image's bytes at its offset, and no command holds the drive longer
    // than it needs (a piece two minutes, a check half a minute).
    struct Drive {
        std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
        std::deque<Reply> checks;
        Reply afterChecks = Answer("good");
        std::function<Reply(size_t piece)> pieceReply;
        size_t piecesSent = 0;
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
                EXPECT_TRUE(length == 0 || std::equal(data, data + length, image.begin() + offset)) << wire.back();
                EXPECT_EQ(request.TimeOutValue, 120u);
                const size_t piece = drive.piecesSent++;
                return drive.pieceReply ? drive.pieceReply(piece) : Answer("good");
            }
            case 0x12: {
                wire.push_back(name + " INQ");
                Reply reply = Answer("good");
                reply.data.assign(36, ' ');
                std::copy(drive.revision.begin(), drive.revision.end(), reply.data.begin() + 32);
                reply.data.resize(drive.inquiryLength);
                return reply;
            }
            case 0x00: {
                wire.push_back(name + " TUR");
                EXPECT_EQ(request.TimeOutValue, 30u);
                if (drive.checks.empty()) return drive.afterChecks;
                const Reply reply = drive.checks.front();
                drive.checks.pop_front();
                return reply;
            }
            default: wire.push_back(name + " other"); return Answer("good");
            }
        };
        g_devices[static_cast<size_t>(slot)] = std::move(entry);
        return drive;
    }

    void AddFile(size_t size)
    {
        image = Pattern(size);
        opener.files["fw.lod"] = {.bytes = image};
    }

    // Ticks until the sequence stops its timer, at most `limit` times.
    void TickUntilIdle(int limit = 50)
    {
        for (int ticks = 0; sequence->TimerActive() && ticks < limit; ++ticks) sequence->OnTimer();
    }

    StreamCapture capture;  // the failed checks' reports on clog
    std::map<int, Drive> drives;
    std::vector<std::string> wire;
    std::vector<uint8_t> image;
    RecordingPrompts prompts;
    dltest::MemoryImageOpener opener;
    dltest::RecordingObserver observer;
    std::shared_ptr<FakeTime> time = std::make_shared<FakeTime>();
    std::optional<DownloadSequence> sequence;
};

// "a x3, b" as a, a, a, b.
std::vector<std::string> Expand(const std::string& list)
{
    std::vector<std::string> items;
    std::istringstream parts(list);
    for (std::string part; std::getline(parts, part, ',');) {
        part = Trimmed(part);
        const size_t times = part.rfind(" x");
        const bool repeated = times != std::string::npos && times + 2 < part.size() && std::isdigit(part[times + 2]);
        items.insert(items.end(), repeated ? std::stoul(part.substr(times + 2)) : 1,
                     repeated ? part.substr(0, times) : part);
    }
    return items;
}

// One case of tests/data/download/sequences.txt, its lines as keys and values.
struct SequenceCase {
    std::string name;
    int line = 0;
    std::vector<std::pair<std::string, std::string>> items;

    std::vector<std::string> All(const std::string& key) const
    {
        std::vector<std::string> values;
        for (const auto& [itemKey, value] : items)
            if (itemKey == key) values.push_back(Unescaped(value));
        return values;
    }
    bool Has(const std::string& key) const { return !All(key).empty(); }
    std::string One(const std::string& key, const std::string& otherwise = "") const
    {
        return Has(key) ? All(key).back() : otherwise;
    }
};

std::vector<SequenceCase> ReadSequenceCases()
{
    std::vector<SequenceCase> cases;
    for (const CaseBlock& block : ReadCaseBlocks("download/sequences.txt", "case:")) {
        SequenceCase& c = cases.emplace_back(SequenceCase{block.name, block.line, {}});
        for (const std::string& text : block.lines) {
            const size_t colon = text.find(':');
            c.items.emplace_back(Trimmed(text.substr(0, colon)),
                                 colon == std::string::npos ? "" : Trimmed(text.substr(colon + 1)));
        }
    }
    return cases;
}

class DownloadCaseTest : public DownloadSequenceTest, public ::testing::WithParamInterface<SequenceCase> {
protected:
    uint32_t ReadyTimeout() const override
    {
        return static_cast<uint32_t>(std::stoul(GetParam().One("timeout", "300")));
    }

    // "checks becoming x2, good; revision 0412" for the drive in `slot`.
    void AddScriptedDrive(int slot, const std::string& settingsText)
    {
        std::vector<std::string> settings;
        std::istringstream parts(settingsText);
        for (std::string part; std::getline(parts, part, ';');) settings.push_back(Trimmed(part));
        Drive& drive = AddDrive(slot, std::count(settings.begin(), settings.end(), "unselected") == 0);
        for (const std::string& setting : settings) {
            const std::string word = setting.substr(0, setting.find(' '));
            const std::string rest = Trimmed(setting.substr(word.size()));
            if (word == "checks") {
                for (const std::string& answer : Expand(rest)) drive.checks.push_back(Answer(answer));
                drive.afterChecks = drive.checks.back();
                drive.checks.pop_back();
            } else if (word == "piece") {
                const size_t failing = std::stoul(rest);
                drive.pieceReply = [failing](size_t piece) { return Answer(piece == failing ? "none" : "good"); };
            } else if (word == "revision") {
                drive.revision = rest;
            } else if (word == "inquiry") {
                drive.inquiryLength = std::stoul(rest);
            } else if (!word.empty() && word != "unselected") {
                ADD_FAILURE() << "unknown drive setting " << setting;
            }
        }
    }
};

TEST_P(DownloadCaseTest, DrivesAnswerAndTheUserIsTold)
{
    const SequenceCase& c = GetParam();
    for (const auto& [key, value] : c.items)
        if (key.rfind("drive ", 0) == 0) AddScriptedDrive(std::stoi(key.substr(6)), value);
    AddFile(std::stoul(c.One("image")));
    sequence->SetAllAtOnce(c.Has("all at once"));
    sequence->OnDownload("fw.lod");
    TickUntilIdle();

    EXPECT_EQ(prompts.questions, std::vector<std::string>{"Are you sure you want to downlaod fw.lod?"});
    EXPECT_FALSE(sequence->Busy());
    EXPECT_FALSE(sequence->TimerActive());
    if (c.Has("wire")) {
        EXPECT_EQ(wire, Expand(c.One("wire")));
    }
    std::vector<std::string> messages;
    for (const auto& shown : prompts.messages) messages.push_back(shown.text);
    EXPECT_EQ(messages, c.All("message"));
    std::string report;
    for (const std::string& line : c.All("report")) report += (report.empty() ? "" : "\n") + line;
    EXPECT_EQ(DownloadSummaryText(observer.ended), report);
    if (c.Has("waited")) {
        ASSERT_TRUE(observer.ended.at(0).lastCheck);
        EXPECT_EQ(observer.ended[0].lastCheck->secondsWaited, std::stoll(c.One("waited")));
    }
    if (c.Has("closes")) {
        EXPECT_EQ(sequence->CloseRequested(), c.One("closes") == "yes");
    }
    if (c.Has("revision")) {
        EXPECT_EQ(std::string(g_devices[0]->revision), c.One("revision"));
    }
}

INSTANTIATE_TEST_SUITE_P(File, DownloadCaseTest, ::testing::ValuesIn(ReadSequenceCases()),
                         [](const ::testing::TestParamInfo<SequenceCase>& info) {
                             return "line" + std::to_string(info.param.line);
                         });

// Drive 0 holds a command (a piece, or the check after the transfer) as a
// drive that does not answer does, on a worker of its own; one after the
// other drive 1 then waits, all at once it goes on and finishes.
struct HeldCase {
    const char* name;
    uint8_t opcode;
    bool allAtOnce;
    std::vector<std::string> wire;  // everything drive 0 ever gets
    DriveOutcome second;
};

class DownloadHeldTest : public DownloadSequenceTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(DownloadHeldTest, CancelActsAtOnceAndNothingMoreIsSentToTheDrive)
{
    const HeldCase& c = GetParam();
    Drive& drive = AddDrive(0);
    AddDrive(1);
    drive.afterChecks = Answer("becoming");
    auto held = std::make_shared<BlockingDevice>(drive.device, c.opcode);
    g_devices[0]->handle = held;
    AddFile(70000);
    std::vector<std::thread> workers;
    DownloadEnvironment environment = dltest::InPlaceEnvironment(time);
    environment.launch = [&workers](std::function<void()> work) { workers.emplace_back(std::move(work)); };
    DownloadSequence threaded(prompts, opener, &observer, environment);
    threaded.SetAllAtOnce(c.allAtOnce);

    threaded.OnDownload("fw.lod");
    const size_t finishing = c.allAtOnce ? 1 : 0;  // drive 1 all at once
    for (int i = 0; i < 1000 && !(held->blocked && observer.finished.size() == finishing); ++i) {
        threaded.OnTimer();  // returns although a drive holds a command
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(held->blocked);
    EXPECT_TRUE(threaded.Busy());
    threaded.OnCancel();
    EXPECT_TRUE(threaded.CloseRequested());
    EXPECT_FALSE(threaded.Busy());
    EXPECT_EQ(observer.Outcomes(), (std::vector<DriveOutcome>{DriveOutcome::Cancelled, c.second}));
    if (!c.allAtOnce) {
        EXPECT_EQ(DriveReportText(observer.ended[1]), "\\\\.\\physicaldrive1: not attempted, the download was cancelled");
    }

    held->Release();
    for (std::thread& worker : workers) worker.join();
    std::vector<std::string> first;
    std::copy_if(wire.begin(), wire.end(), std::back_inserter(first),
                 [](const std::string& command) { return command.rfind("d0", 0) == 0; });
    EXPECT_EQ(first, c.wire) << "the held command was the last";
    EXPECT_EQ(first.size() == wire.size(), !c.allAtOnce) << "drive 1 waits one after the other";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DownloadHeldTest,
    ::testing::Values(
        HeldCase{"piece", 0x3B, false, {"d0 WB 0+65536"}, DriveOutcome::NotAttempted},
        HeldCase{"check", 0x00, false, {"d0 WB 0+65536", "d0 WB 65536+4464", "d0 TUR"}, DriveOutcome::NotAttempted},
        HeldCase{"piece_all_at_once", 0x3B, true, {"d0 WB 0+65536"}, DriveOutcome::TookImage}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

}  // namespace
