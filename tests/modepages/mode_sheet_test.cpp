// The sheet's all-pages walk, page reads and writes: which tabs a drive
// gets, what a read counts as, what a save sends (and when it sends
// nothing).
#include <gtest/gtest.h>

#include "modepages/field_text_form.h"
#include "modepages/mode_page_io.h"
#include "modepages/mode_sheet.h"
#include "scripted_mode_drive.h"
#include "support/bench_fixture.h"
#include "support/stream_capture.h"
#include "sim/sim_disk.h"

using modetest::Hex;
using modetest::PageOnDrive;
using modetest::ScriptedModeDrive;

namespace {

const char* kErrorRecovery12 = "81 0A C0 14 00 00 00 00 0A 00 0B B8";
// Twelve bytes after the header (page length 0Ch): a drive with two more
// bytes than SBC-3 gives this page.
const char* kErrorRecoveryLength12 = "81 0C C0 14 00 00 00 00 0A 00 0B B8 00 00";
const char* kCaching20 = "88 12 04 00 FF FF 00 00 FF FF FF FF 00 10 00 00 00 00 00 00";

std::vector<std::string> Captions(const CModeSheetPages& sheet)
{
    std::vector<std::string> captions;
    for (const CModePage* page : sheet.Added()) captions.emplace_back(page->Table().caption);
    return captions;
}

size_t FieldIndex(const CModePage& page, const std::string& label)
{
    for (size_t i = 0; i < page.Fields().size(); ++i)
        if (page.Fields()[i].label == label) return i;
    ADD_FAILURE() << "no field " << label;
    return 0;
}

class ModeSheetBenchTest : public BenchFixture {
protected:
    // One drive with the "modePages" object given, scanned.
    void LoadDrive(const std::string& modePages)
    {
        Load(Bench(1, Disk(0, 0, "MORVANE", modePages.empty() ? "" : "\"modePages\": " + modePages)));
        ASSERT_EQ(Scan(), 0);
        ASSERT_NE(FirstDevice(), nullptr);
    }
    void TearDown() override
    {
        g_pSheetDevice = nullptr;
        BenchFixture::TearDown();
    }
    SimDisk& Drive() { return *Sim().Disk(0); }
    size_t ModeSelectsSent()
    {
        size_t count = 0;
        for (const auto& cdb : Drive().RecentCdbs())
            if (cdb[0] == 0x15) ++count;
        return count;
    }
};

}  // namespace

TEST_F(ModeSheetBenchTest, PowerConditionFoundAs1AIsReadAndWrittenAs1A)
{
    LoadDrive(R"({"pages": ["0x1A"]})");
    CModeSheetPages sheet;
    ASSERT_TRUE(sheet.Open(FirstDevice()));
    CModePage* page = sheet.AddedPage(0x1A);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->PageCode(), 0x1A);
    FieldTextForm form(page->Table());
    page->AttachControls(&form, nullptr);
    page->OnInitDialog();
    for (const auto& cdb : Drive().RecentCdbs()) {
        if (cdb[0] != 0x1A) continue;
        EXPECT_TRUE((cdb[2] & 0x3F) == 0x1A || (cdb[2] & 0x3F) == 0x3F);
    }
    EXPECT_EQ(form.Shown(page->Fields()[0], Column::Current), "00000014");

    form.Edit(1086)->SetText("0000003c");
    EXPECT_EQ(page->OnSaveCurrent(), ModeSaveResult::Sent);
    EXPECT_EQ(Drive().RecentCdbs().back(), Hex("15 10 00 00 2C 00")) << "4 + 2 + 38 bytes, PF, no SP";
    page->RefreshFields();
    EXPECT_EQ(form.Shown(page->Fields()[0], Column::Current), "0000003c");
    EXPECT_EQ(form.Shown(page->Fields()[0], Column::Saved), "00000014");
}

TEST_F(ModeSheetBenchTest, LockedFieldsGoBackAsReadAndARefusalLeavesTheTypedValuesShown)
{
    LoadDrive("");
    CModeSheetPages sheet;
    ASSERT_TRUE(sheet.Open(FirstDevice()));
    CModePage* geometry = sheet.AddedPage(0x04);
    FieldTextForm form(geometry->Table());
    geometry->AttachControls(&form, nullptr);
    geometry->OnInitDialog();
    ASSERT_TRUE(geometry->Locked(FieldIndex(*geometry, "Number of Heads")));
    EXPECT_FALSE(geometry->Locked(FieldIndex(*geometry, "RPL")));
    form.Edit(1087)->SetText("10");
    form.Edit(1107)->SetText("1");
    EXPECT_EQ(geometry->OnSaveCurrent(), ModeSaveResult::Sent);
    ModeBuffer buffer{};
    ASSERT_TRUE(ReadModePage(buffer.data(), 0, 0x04));
    EXPECT_EQ(buffer[4 + 5], 0x08) << "heads as the drive has them";
    EXPECT_EQ(buffer[4 + 17], 0x01) << "RPL";
}

TEST(ModeSheetScripted, CheckConditionWithSenseByte2Of01IsAGoodRead)
{
    PageOnDrive<CCachingParms> shown(kCaching20);
    auto [drive, caching, form] = std::tie(shown.drive, shown.page, shown.form);
    drive.SetPage(0, Hex("88 12 04 00 FF FF 01 00 FF FF FF FF 00 10 00 00 00 00 00 00"));
    drive.failures[0] = {true, kStatusCheckCondition, Hex("70 00 01 00 00 00 00 0A 00 00 00 00 17 01"), true};
    drive.failures[3] = {true, kStatusCheckCondition, Hex("70 00 05 00 00 00 00 0A 00 00 00 00 24 00"), true};
    drive.failures[2] = {false, 0, {}, false};
    caching.RefreshFields();
    EXPECT_TRUE(caching.ColumnRead(Column::Current));
    EXPECT_EQ(form.Edit(1089)->Text(), "0100") << "recovered error: data shown";
    EXPECT_FALSE(caching.ColumnRead(Column::Saved)) << "sense key 5 is a failed read";
    EXPECT_EQ(form.Edit(1098)->Text(), "0000");
    EXPECT_FALSE(caching.ColumnRead(Column::Default)) << "a call that failed";

    // A failed read leaves what the last good one showed.
    drive.failures[0] = {true, kStatusCheckCondition, Hex("70 00 04 00 00 00 00 0A 00 00 00 00 44 00"), false};
    caching.OnRefresh();
    EXPECT_EQ(form.Edit(1089)->Text(), "0100");
    // Byte 2 is taken whole: a flag bit with sense key 1 is no good read.
    drive.SetPage(0, Hex("88 12 04 00 FF FF 02 00 FF FF FF FF 00 10 00 00 00 00 00 00"));
    drive.failures[0] = {true, kStatusCheckCondition, Hex("70 00 21 00 00 00 00 0A"), true};
    caching.OnRefresh();
    EXPECT_EQ(form.Edit(1089)->Text(), "0100");
}

TEST(ModeSheetScripted, SaveSendsTheParameterListLengthOfThePageAsRead)
{
    PageOnDrive<CErrorRecovery> shown(kErrorRecoveryLength12);
    ScriptedModeDrive& drive = shown.drive;
    CErrorRecovery& recovery = shown.page;
    shown.Show();
    shown.Type(1092, "1f");                     // Saved "Read Retry Count"
    shown.form.Check(1148)->SetChecked(false);  // Saved AWRE
    EXPECT_EQ(recovery.OnSaveSaveable(), ModeSaveResult::Sent);
    ASSERT_EQ(drive.selects.size(), 1u);
    const auto& select = drive.selects[0];
    EXPECT_EQ(std::vector<uint8_t>(select.cdb.begin(), select.cdb.end()), Hex("15 11 00 00 12 00"))
        << "PF and SP set, 4 + 2 + 12 = 18 bytes";
    EXPECT_EQ(select.transferLength, 255u) << "the whole buffer goes with it";
    EXPECT_EQ(select.list, Hex("00 00 00 00  01 0C 40 1F 00 00 00 00 0A 00 0B B8 00 00"))
        << "mode data length, device-specific parameter (DPOFUA) and PS cleared";
    EXPECT_EQ(drive.ModeSenseCdbs().back(), Hex("1A 08 C1 00 FF 00")) << "read first: saved values";

    EXPECT_EQ(recovery.OnSaveCurrent(), ModeSaveResult::Sent);
    EXPECT_EQ(drive.selects[1].cdb[1], 0x10);
    EXPECT_EQ(drive.selects[1].list[7], 0x14) << "the Current column";
}

TEST(ModeSheetScripted, TheWalkSkipsABlockDescriptorSentDespiteDbdAndStaysInsideTheReply)
{
    ScriptedModeDrive drive;
    drive.blockDescriptor = Hex("00 00 03 E8 00 00 02 00");
    drive.SetPage(Hex(kCaching20));
    drive.SetPage(Hex(kErrorRecovery12));
    drive.SetPage(Hex("8C 00"));                       // an empty notch page
    drive.SetPage(Hex("87 F0 F5 14 30 00 00 00 00"));  // claims far more than it has
    drive.MakeSheetDevice();
    CModeSheetPages sheet;
    ASSERT_TRUE(sheet.Open(&drive.entry));
    EXPECT_EQ(Captions(sheet), (std::vector<std::string>{"Caching Page 8", "Error Recovery Page  1", "Notch Page C",
                                                         "Verify Error Recovery Page 7"}));
    // The all-pages read: MODE SENSE(6), DBD, default values, page 3Fh, 255 bytes.
    EXPECT_EQ(drive.ModeSenseCdbs().front(), Hex("1A 08 BF 00 FF 00"));
    EXPECT_EQ(sheet.AddedPage(0x01)->Value(0, Column::Default), 0x14u);
    EXPECT_FALSE(sheet.AddedPage(0x07)->ColumnRead(Column::Default)) << "a page cut short gives no defaults, not zeros";

    CModePage* caching = sheet.AddedPage(0x08);
    FieldTextForm form(caching->Table());
    caching->AttachControls(&form, nullptr);
    caching->OnInitDialog();
    EXPECT_EQ(form.Edit(1090)->Text(), "ffff");
    form.Edit(1088)->SetText("0");
    EXPECT_EQ(caching->OnSaveCurrent(), ModeSaveResult::Sent);
    const auto& list = drive.selects.back().list;
    ASSERT_EQ(list.size(), 32u);
    EXPECT_EQ(list[12], 0x08) << "PS cleared where the page is";
    EXPECT_EQ(list[12 + 4], 0x00);
    EXPECT_EQ(list[12 + 5], 0x00);
}

TEST(ModeSheetScripted, ReadsThatHoldAnotherPageOrTooMuchAreNotUsed)
{
    ScriptedModeDrive drive;
    drive.SetPage(Hex(kCaching20));
    drive.anyPage = true;  // answers every page code with its caching page
    drive.MakeSheetDevice();
    CErrorRecovery recovery;
    recovery.RefreshFields();
    EXPECT_FALSE(recovery.ColumnRead(Column::Current));
    EXPECT_EQ(recovery.OnSaveCurrent(), ModeSaveResult::ReadFailed);
    EXPECT_TRUE(drive.selects.empty());

    // A mode data length of FFh cannot go back in an 8-bit length.
    drive.modeDataLength = 0xFF;
    CCachingParms caching;
    StreamCapture capture;
    EXPECT_EQ(caching.OnSaveCurrent(), ModeSaveResult::DriveRefused);
    EXPECT_TRUE(drive.selects.empty());
    EXPECT_NE(capture.Log().find("nothing sent"), std::string::npos);
}
