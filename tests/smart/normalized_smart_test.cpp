#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drives/device_table.h"
#include "drives/sheet_device.h"
#include "sim/sim_disk.h"
#include "smart/normalized_smart.h"
#include "support/bench_fixture.h"
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

    static std::vector<std::string> Captions(const SmartSheet& sheet)
    {
        std::vector<std::string> captions;
        for (const SmartTab& tab : sheet.tabs) captions.emplace_back(tab.page->caption);
        return captions;
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

TEST_F(NormalizedSmartTest, TabsFollowTheAttributePageOrderAfterTheStatusTab)
{
    StartDrive(std::string(kAllPages) + R"(, "smartTrip": "0x10", "temperature": 47, "tripTemperature": 68,
        "attributes": [{"code": "0x0004", "normalized": 99, "worst": 98, "threshold": 36},
                       {"code": "0x0117", "value": "64 5a 2d 00 01 2c 01 c7 00 00 0e 10 00 d2 00 00 0e 0f"},
                       {"code": "0x0032", "normalized": 100, "worst": 100, "threshold": 20}])");
    const auto sheet = Open();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(Captions(*sheet), (std::vector<std::string>{"Status Log Page (page code 2Fh)",
                                                           "Reallocated Sector Count (parameter code 4h)",
                                                           "Disk Temperature (parameter code 117h)",
                                                           "Recovered Data Error Rate  (parameter code 32h)"}));
    EXPECT_EQ(sheet->tabs[0].values, (std::vector<std::string>{"5Dh", "10h", "47", "68"}));
    EXPECT_EQ(sheet->tabs[1].values, (std::vector<std::string>{"99", "98", "36"}));
    EXPECT_EQ(sheet->tabs[2].values, (std::vector<std::string>{"100", "90", "45", "30", "45", "60", "21", "59"}));
}

TEST_F(NormalizedSmartTest, NoDeviceOrNoOpenHandleShowsNothing)
{
    StartDrive(kAllPages);
    EXPECT_FALSE(OnNormalizedSmart(nullptr, prompts));
    EXPECT_EQ(g_pSheetDevice, nullptr);
    const uint64_t before = Drive().CommandsReceived();
    entry->handle.reset();
    EXPECT_FALSE(Open());
    EXPECT_EQ(Drive().CommandsReceived(), before);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(NormalizedSmartTest, EveryMessageIsASmartErrorBox)
{
    Load(Bench(1, Disk(0, 0, "VELDRAKE")));
    Scan();
    entry = FirstDevice();
    EXPECT_FALSE(Open());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Normalized SMART not supported\n\n"
              "The drive answered with sense key 5h, additional sense code 26h, qualifier 00h.")
        << "the vendor key in the LOG SELECT list is an invalid field to another vendor's drive";
    EXPECT_EQ(prompts.messages[0].caption, "SMART error");
    EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Information);
}

TEST_F(NormalizedSmartTest, VendorCommandsRefusedMeanNotSupported)
{
    StartDrive(kAllPages);
    FailCommand(0xDF, 0, 0x05, 0x20);
    EXPECT_FALSE(Open());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Normalized SMART not supported\n\nThe drive answered with "
                                                    "sense key 5h, additional sense code 20h, qualifier 00h."}));

    // Refused with additional sense code 00h or 01h still counts as accepted.
    prompts.messages.clear();
    FailCommand(0x4C, 0, 0x05, 0x00);
    FailCommand(0xDF, 1, 0x01, 0x01);
    EXPECT_TRUE(Open());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(NormalizedSmartTest, BufferNotAvailable)
{
    StartDrive(kAllPages);
    const auto noMemory = [](size_t) { return std::unique_ptr<uint8_t[]>(); };
    const uint64_t before = Drive().CommandsReceived();
    EXPECT_FALSE(OnNormalizedSmart(entry, prompts, noMemory));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Buffer allocation for SMART Data buffer failed"}));
    EXPECT_EQ(Drive().CommandsReceived() - before, 2u) << "no page read without a buffer";
}

TEST_F(NormalizedSmartTest, SupportedPagesReadFails)
{
    StartDrive(kAllPages);
    FailCommand(0x4D, 2, 0x05, 0x24);
    EXPECT_FALSE(Open());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"GetSupportedPages failed"}));
}

TEST_F(NormalizedSmartTest, WhichOfTheTwoPagesIsMissingDecidesTheMessage)
{
    StartDrive(R"("pages": ["0x03", "0x2F"], "normalizedSmart": true)");
    EXPECT_FALSE(Open());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"No relevant parameter codes in Attribute Log Page, 0x30"}));

    TearDown();
    prompts.messages.clear();
    StartDrive(R"("pages": ["0x03"], "normalizedSmart": true)");
    EXPECT_FALSE(Open());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Normalized SMART not supported"}));
}

TEST_F(NormalizedSmartTest, AttributePageReadFailsGivesBothMessages)
{
    StartDrive(kAllPages);
    FailCommand(0x4D, 4, 0x05, 0x24);
    EXPECT_FALSE(Open());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"GetSMARTAttributeLogData failed",
                                                    "No relevant parameter codes in Attribute Log Page, 0x30"}));
}

TEST_F(NormalizedSmartTest, StatusPageReadFailsLeavesOnlyItsTabOut)
{
    StartDrive(kAllPages);
    FailCommand(0x4D, 3, 0x04, 0x44);
    const auto sheet = Open();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_FALSE(sheet->tabs.empty());
    EXPECT_EQ(sheet->tabs[0].page->className, std::string("CReallocatedSectorCount"));
    EXPECT_EQ(sheet->tabs.size(), 5u);
}

TEST_F(NormalizedSmartTest, NoKnownCodeMeansNoSheetEvenWithTheStatusTab)
{
    StartDrive(std::string(kAllPages) + R"(, "attributes": [{"code": "0x0043", "normalized": 97}])");
    EXPECT_FALSE(Open());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"No relevant parameter codes in Attribute Log Page, 0x30"}));

    for (const char* attributes : {R"([])", R"([{"code": "0x0004", "value": ""}])"}) {
        TearDown();
        prompts.messages.clear();
        StartDrive(std::string(kAllPages) + ", \"attributes\": " + attributes);
        EXPECT_FALSE(Open()) << attributes;
        EXPECT_EQ(Messages(), (std::vector<std::string>{"No relevant parameter codes in Attribute Log Page, 0x30"}))
            << attributes;
    }
}

TEST_F(NormalizedSmartTest, UnknownParameterIsSkippedByItsLength)
{
    StartDrive(std::string(kAllPages) + R"(, "attributes": [
        {"code": "0x0099", "value": "00 04 03 03 01 02 03 04 05 06"},
        {"code": "0x0145", "value": "ff 64 0a 00 00 2b 00 02 01 1a"}])");
    const auto sheet = Open();
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->tabs.size(), 2u);
    EXPECT_EQ(sheet->tabs[1].page->className, std::string("CTrackFollowingErrors"));
    EXPECT_EQ(sheet->tabs[1].values, (std::vector<std::string>{"255", "100", "10", "43", "2", "282"}));
}

TEST(NormalizedSmartScripted, APageReadWithoutDataLeavesItsTabOut)
{
    // The supported-pages list also reads as a page with parameter 0000h;
    // the status page then "succeeds" with ASC 00h and sends nothing: no
    // tab, rather than one read from zeros or from the previous page.
    auto device = std::make_shared<ScriptedDevice>();
    device->script = [](const ScsiRequest& request) {
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
        default: reply.data = {0x30, 0x00, 0x00, 0x07, 0x00, 0x04, 0x03, 0x03, 0x64, 0x63, 0x24}; break;
        }
        return reply;
    };
    DeviceEntry entry;
    entry.handle = device;
    RecordingPrompts prompts;
    const auto sheet = OnNormalizedSmart(&entry, prompts);
    g_pSheetDevice = nullptr;
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->tabs.size(), 1u);
    EXPECT_EQ(sheet->tabs[0].values, (std::vector<std::string>{"100", "99", "36"}));
}

TEST_F(NormalizedSmartTest, AttributeReadToleratedWithoutDataIsAFailedRead)
{
    // The read ends in CHECK CONDITION with ASC 00h, which the drive may
    // say while answering, but it brought no page: nothing was read.
    StartDrive(kAllPages);
    FailCommand(0x4D, 4, 0x01, 0x00);
    EXPECT_FALSE(Open());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"GetSMARTAttributeLogData failed",
                                                    "No relevant parameter codes in Attribute Log Page, 0x30"}));
}

}  // namespace
