#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drives/device_table.h"
#include "drives/sheet_device.h"
#include "sim/sim_disk.h"
#include "smart/normalized_smart.h"
#include "support/bench_fixture.h"
#include "support/case_file.h"
#include "support/recording_prompts.h"
#include "support/scripted_device.h"

namespace {

constexpr const char* kAllPages = R"("pages": ["0x02", "0x03", "0x05", "0x06", "0x0D", "0x2F", "0x30"])";

std::string Logs(const std::string& body) { return "\"logs\": {" + body + "}"; }

class NormalizedSmartTest : public BenchFixture {
protected:
    void TearDown() override
    {
        g_pSheetDevice = nullptr;
        BenchFixture::TearDown();
    }

    // One maker drive at bus 0, target 0, with the given "logs" object body.
    void StartDrive(const std::string& logsBody)
    {
        Load(Bench(1, Disk(0, 0, "MORVANE", Logs(logsBody))));
        Scan();
        ASSERT_NE(FirstDevice(), nullptr);
        entry = FirstDevice();
    }
    SimDisk& Drive() { return *Sim().Disk(0); }

    // Makes the n-th command from now (0: the next) fail with this sense.
    void FailCommand(uint8_t opcode, size_t fromNow, uint8_t senseKey, uint8_t asc)
    {
        SimFault fault;
        fault.opcode = opcode;
        fault.senseKey = senseKey;
        fault.asc = asc;
        fault.times = 1;
        fault.afterCommands = Drive().CommandsReceived() + fromNow;
        Drive().AddFault(fault);
    }

    std::optional<SmartSheet> Open() { return OnNormalizedSmart(entry, prompts); }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : prompts.messages) texts.push_back(shown.text);
        return texts;
    }

    DeviceEntry* entry = nullptr;
    RecordingPrompts prompts;
};

TEST_F(NormalizedSmartTest, SendsTheTwoVendorCommandsThenReadsThePages)
{
    StartDrive(kAllPages);
    const uint64_t before = Drive().CommandsReceived();
    ASSERT_TRUE(Open());
    const auto cdbs = Drive().RecentCdbs();
    ASSERT_EQ(Drive().CommandsReceived() - before, 5u);
    const std::vector<std::vector<uint8_t>> sent(cdbs.end() - 5, cdbs.end());
    EXPECT_EQ(sent[0], (std::vector<uint8_t>{0x4C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x00}));
    EXPECT_EQ(sent[1], (std::vector<uint8_t>{0xDF, 0x00, 0x71, 0x0E, 0x00, 0x00}));
    EXPECT_EQ(sent[2], (std::vector<uint8_t>{0x4D, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00}));
    EXPECT_EQ(sent[3], (std::vector<uint8_t>{0x4D, 0x00, 0x6F, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00}));
    EXPECT_EQ(sent[4], (std::vector<uint8_t>{0x4D, 0x00, 0x70, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00}));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(g_pSheetDevice, entry);

    // Both vendor commands go out again every time the sheet opens.
    ASSERT_TRUE(Open());
    EXPECT_EQ(Drive().CommandsReceived() - before, 10u);
}

TEST_F(NormalizedSmartTest, VendorCommandsRefusedWithAdditionalSenseCode00hOr01hCountAsAccepted)
{
    // Other refusals: not supported (the command-line scripts).
    StartDrive(kAllPages);
    FailCommand(0x4C, 0, 0x05, 0x00);
    FailCommand(0xDF, 1, 0x01, 0x01);
    EXPECT_TRUE(Open());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(NormalizedSmartTest, NoSheetAndTheMessagesSayWhy)
{
    for (const CaseLine& c : ReadCaseFile("smart/no_sheet.txt")) {
        SCOPED_TRACE(CaseTrace("no_sheet.txt", c));
        prompts.messages.clear();
        StartDrive(c[0]);
        if (c[1] != "-") {
            FailCommand(0x4D, std::stoul(c[1]), static_cast<uint8_t>(std::stoul(c[2], nullptr, 16)),
                        static_cast<uint8_t>(std::stoul(c[3], nullptr, 16)));
        }
        EXPECT_FALSE(Open());
        std::string messages;
        for (const std::string& text : Messages()) messages += (messages.empty() ? "" : " ; ") + text;
        EXPECT_EQ(messages, c[4]);
    }
}

// A drive whose supported-pages list also reads as a page with parameter
// 0000h, whose status page "succeeds" with ASC 00h and sends nothing, and
// whose attribute page is `attributes`.
std::optional<SmartSheet> OpenScripted(const std::vector<uint8_t>& attributes)
{
    auto device = std::make_shared<ScriptedDevice>();
    device->script = [attributes](const ScsiRequest& request) {
        ScriptedDevice::Reply reply;
        reply.sense.assign(18, 0x00);
        reply.data.assign(1, 0x00);
        if (request.Cdb[0] != 0x4D) return reply;
        switch (request.Cdb[2] & 0x3F) {
        case 0x00: reply.data = {0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x03, 0x04, 0x2F, 0x30, 0x41, 0x44}; break;
        case 0x2F:
            reply.status = kStatusCheckCondition;
            reply.sense[0] = 0x70;
            reply.sense[2] = 0x01;
            break;
        default: reply.data = attributes; break;
        }
        return reply;
    };
    DeviceEntry entry;
    entry.handle = device;
    RecordingPrompts prompts;
    auto sheet = OnNormalizedSmart(&entry, prompts);
    g_pSheetDevice = nullptr;
    return sheet;
}

TEST(NormalizedSmartScripted, APageReadWithoutDataLeavesItsTabOut)
{
    // No status tab, rather than one read from zeros or from the previous page.
    const auto sheet = OpenScripted({0x30, 0x00, 0x00, 0x07, 0x00, 0x04, 0x03, 0x03, 0x64, 0x63, 0x24});
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->tabs.size(), 1u);
    EXPECT_EQ(sheet->tabs[0].values, (std::vector<std::string>{"100", "99", "36"}));
}

TEST(NormalizedSmartScripted, AttributeBytesThatDidNotArriveAreNotShown)
{
    // The page says seven bytes follow; the drive sent four of them.
    const auto sheet = OpenScripted({0x30, 0x00, 0x00, 0x07, 0x00, 0x04, 0x03, 0x03});
    if (!sheet) return;
    for (const SmartTab& tab : sheet->tabs)
        for (const std::string& value : tab.values) EXPECT_TRUE(value.empty()) << "a value read from bytes not sent";
}

}  // namespace
