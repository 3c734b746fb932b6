// Where each page's fields lie: what a page shows from the drive's bytes,
// which controls it locks, and the bytes a save sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "modepages/field_text_form.h"
#include "modepages/mode_buffer.h"
#include "modepages/mode_page_family.h"
#include "modepages/mode_sheet.h"
#include "scripted_mode_drive.h"
#include "support/case_file.h"
#include "support/recording_prompts.h"

using modetest::Hex;
using modetest::PageOnDrive;
using modetest::ScriptedModeDrive;

TEST(ModePageFields, DriveGeometryColumnsAndRpl)
{
    PageOnDrive<CDriveGeometry> geometry(
        "84 16 00 10 00 08 00 10 00 00 10 00 00 01 00 00 00 01 00 00 27 10 00 00");
    geometry.drive.SetPage(3, Hex("84 16 00 20 00 08 00 10 00 00 10 00 00 01 00 00 00 01 00 00 27 10 00 00"));
    geometry.drive.SetPage(1, Hex("84 16 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    geometry.Show();
    EXPECT_EQ(geometry.Text(1086), "001000");
    EXPECT_EQ(geometry.Text(1093), "002000") << "saved Number of Cylinders";
    EXPECT_EQ(geometry.Text(1100), "001000") << "default";
    EXPECT_EQ(geometry.Text(1107), "1") << "RPL from byte 17 bits 1-0";
    EXPECT_TRUE(geometry.form.ReadOnly(geometry.page.Fields()[8], Column::Current)) << "RPL bits not changeable";

    geometry.drive.SetPage(1, Hex("84 16 FF FF FF 00 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00 00 00 00"));
    geometry.Show();
    EXPECT_FALSE(geometry.form.ReadOnly(geometry.page.Fields()[8], Column::Saved));
    geometry.Type(1093, "3000");
    geometry.Type(1123, "2");
    EXPECT_EQ(geometry.page.OnSaveSaveable(), ModeSaveResult::Sent);
    const auto sent = geometry.Sent();
    EXPECT_EQ(std::vector<uint8_t>(sent.begin() + 2, sent.begin() + 5), Hex("00 30 00"));
    EXPECT_EQ(sent[17], 0x02);
    geometry.Type(1123, "4");
    EXPECT_EQ(geometry.page.OnSaveSaveable(), ModeSaveResult::Invalid);
    EXPECT_EQ(geometry.drive.selects.size(), 1u) << "a field that refuses its text sends nothing";
    EXPECT_EQ(geometry.prompts.messages.back().text, "Please enter an integer between 0 and 3.");
}

TEST(ModePageFields, VerifyCorrectionSpanIsAlwaysSentAsZero)
{
    PageOnDrive<CVerifyErrRecovParms> verify("87 0A F5 14 30 00 00 00 00 00 0B B8");
    verify.Show();
    EXPECT_EQ(verify.Text(1087), "30");
    verify.Type(1087, "44");
    EXPECT_EQ(verify.page.OnSaveCurrent(), ModeSaveResult::Sent);
    EXPECT_EQ(verify.Sent()[4], 0x00);
    EXPECT_EQ(verify.Sent()[2], 0xF5) << "byte 2 bits 7-4 as read";
    EXPECT_EQ(verify.page.Value(1, Column::Current), 0u) << "the held span becomes 0";
    EXPECT_EQ(verify.Text(1087), "44") << "what was typed stays until a refresh";
    EXPECT_EQ(verify.page.OnSaveSaveable(), ModeSaveResult::Sent);
    EXPECT_EQ(verify.Sent()[4], 0x00);
}

TEST(ModePageFields, EveryFieldFollowsTheDrivesChangeableBits)
{
    for (const CaseLine& c : ReadCaseFile("modepages/changeable.txt")) {
        SCOPED_TRACE(CaseTrace("changeable.txt", c));
        const std::vector<uint8_t> changeable = Hex(c[0]);
        std::vector<uint8_t> zeros(changeable.begin(), changeable.begin() + 2);
        zeros.resize(changeable.size(), 0);
        ScriptedModeDrive drive;
        drive.SetPage(zeros);
        drive.SetPage(1, changeable);
        drive.MakeSheetDevice();
        const CModeSheetPages sheet;
        CModePage* page = sheet.PageFor(changeable[0] & 0x3F);
        ASSERT_NE(page, nullptr);
        FieldTextForm form(page->Table());
        page->AttachControls(&form, nullptr);
        page->OnInitDialog();
        const auto field = std::find_if(page->Fields().begin(), page->Fields().end(),
                                        [&](const ModeField& f) { return f.label == c[1]; });
        ASSERT_NE(field, page->Fields().end());
        EXPECT_EQ(form.ReadOnly(*field, Column::Current), c[2] == "yes");
        EXPECT_EQ(form.ReadOnly(*field, Column::Saved), c[2] == "yes");
    }
}

TEST(ModePageFields, AChangeToBitsTheDriveCannotChangeIsRefusedBeforeSending)
{
    PageOnDrive<CErrorRecovery> recovery("81 0A C0 14 00 00 00 00 0A 00 0B B8");
    recovery.drive.SetPage(1, Hex("81 0A 00 00 00 00 00 00 00 00 FF 00"));
    recovery.Show();
    recovery.Type(1092, "20");  // Read Retry Count: locked, goes back as read
    recovery.Type(1090, "0bb9");
    EXPECT_EQ(recovery.page.OnSaveCurrent(), ModeSaveResult::Unchangeable);
    EXPECT_TRUE(recovery.drive.selects.empty());
    ASSERT_EQ(recovery.prompts.messages.size(), 1u);
    EXPECT_EQ(recovery.prompts.messages[0].text,
              "\"Recovery Time Limit\" cannot be set to 0bb9 on this drive: it can change only the bits ff00");

    recovery.Type(1090, "0cb8");
    EXPECT_EQ(recovery.page.OnSaveCurrent(), ModeSaveResult::Sent);
    EXPECT_EQ(recovery.Sent(), Hex("01 0A C0 14 00 00 00 00 0A 00 0C B8"));
}

TEST(ModePageFields, ALockReadThatFailsLocksNothing)
{
    PageOnDrive<CCachingParms> caching("88 12 04 00 FF FF 00 00 FF FF FF FF 00 10 00 00 00 00 00 00");
    caching.drive.failures[1] = {true, kStatusCheckCondition, Hex("70 00 05 00 00 00 00 0A 00 00 00 00 24 00")};
    caching.Show();
    for (size_t i = 0; i < caching.page.Fields().size(); ++i) EXPECT_FALSE(caching.page.Locked(i));
}

TEST(ModeBufferFields, AFieldPastWhatArrivedOfThePageIsNeitherReadNorWritten)
{
    uint8_t buffer[16] = {0x0F, 0, 0, 0, 0x88, 0x04, 0x11, 0x22, 0x33, 0x44, 0xEE, 0xEE};
    const PageSpan page{0x08, 4, 6};  // six bytes of the page arrived
    const ModeField dword{"field", FieldKind::Dword, 4, 0, {0, 0, 0}};
    EXPECT_EQ(ReadField(buffer, page, dword), 0x33440000u);
    WriteField(buffer, page, dword, 0xA1B2C3D4);
    EXPECT_EQ(buffer[8], 0xA1);
    EXPECT_EQ(buffer[9], 0xB2);
    EXPECT_EQ(buffer[10], 0xEE) << "the byte after the page";
    const ModeField nibble{"nibble", FieldKind::Nibble, 2, 4, {0, 0, 0}};
    EXPECT_EQ(ReadField(buffer, page, nibble), 0x1u);
    WriteField(buffer, page, nibble, 0xC);
    EXPECT_EQ(buffer[6], 0xC1);
}
