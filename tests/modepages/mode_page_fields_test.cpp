// Where each page's fields lie: what a page shows from the drive's bytes,
// which controls it locks, and the bytes a save sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "modepages/field_text_form.h"
#include "modepages/mode_buffer.h"
#include "modepages/mode_page_family.h"
#include "scripted_mode_drive.h"
#include "support/recording_prompts.h"

using modetest::Hex;
using modetest::ScriptedModeDrive;

namespace {

// A page on a scripted drive, shown in a text form as its tab would be.
template <typename Page>
class PageOnDrive {
public:
    explicit PageOnDrive(const std::string& bytes)
    {
        drive.SetPage(Hex(bytes));
        drive.MakeSheetDevice();
        page.AttachControls(&form, &prompts);
    }
    void Show() { page.OnInitDialog(); }
    std::string Text(int id) { return form.Edit(id)->Text(); }
    bool Checked(int id) { return form.Check(id)->Checked(); }
    void Type(int id, const std::string& text) { form.Edit(id)->SetText(text); }
    // The page bytes of the last MODE SELECT.
    std::vector<uint8_t> Sent() const
    {
        if (drive.selects.empty()) return {};
        const auto& list = drive.selects.back().list;
        return {list.begin() + 4, list.end()};
    }

    ScriptedModeDrive drive;
    Page page;
    FieldTextForm form{page.Table()};
    RecordingPrompts prompts;
};

template <typename Page>
std::unique_ptr<CModePage> Make()
{
    return std::make_unique<Page>();
}

}  // namespace

TEST(ModePageFields, FormatParametersTrackSkewGoesToBytes16And17)
{
    PageOnDrive<CFormatParmPage> format(
        "83 16 00 08 00 00 00 00 00 00 01 90 02 00 00 01 00 00 00 20 4F 00 00 00");
    format.Show();
    EXPECT_EQ(format.Text(1090), "0190");
    EXPECT_TRUE(format.Checked(1154)) << "HSEC";
    format.Type(1104, "0012");
    EXPECT_EQ(format.page.OnSaveSaveable(), ModeSaveResult::Sent);
    const auto sent = format.Sent();
    EXPECT_EQ(sent[16], 0x00);
    EXPECT_EQ(sent[17], 0x12);
    EXPECT_EQ(sent[20], 0x4F) << "byte 20 bits 3-0 as read";
}

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
    CDriveGeometry fresh;
    FieldTextForm form(fresh.Table());
    fresh.AttachControls(&form, &geometry.prompts);
    fresh.OnInitDialog();
    EXPECT_FALSE(form.ReadOnly(fresh.Fields()[8], Column::Saved));
    form.Edit(1093)->SetText("3000");
    form.Edit(1123)->SetText("2");
    EXPECT_EQ(fresh.OnSaveSaveable(), ModeSaveResult::Sent);
    const auto sent = geometry.Sent();
    EXPECT_EQ(std::vector<uint8_t>(sent.begin() + 2, sent.begin() + 5), Hex("00 30 00"));
    EXPECT_EQ(sent[17], 0x02);
    form.Edit(1123)->SetText("4");
    EXPECT_EQ(fresh.OnSaveSaveable(), ModeSaveResult::Invalid);
    EXPECT_EQ(geometry.prompts.messages.back().text, "Please enter an integer between 0 and 3.");
}

TEST(ModePageFields, ControlModeByte3SharesTheQueueFields)
{
    PageOnDrive<CControlMode> control("8A 0A 02 1D 00 00 00 00 00 00 0A 8C");
    control.Show();
    EXPECT_EQ(control.Text(1086), "1") << "Queue Algorithm Modifier";
    EXPECT_FALSE(control.Checked(1155)) << "QErr";
    EXPECT_TRUE(control.Checked(1156)) << "DQue";
    EXPECT_TRUE(control.Checked(1153)) << "GLTSD";
    control.Type(1087, "0102");
    control.Type(1086, "a");
    EXPECT_EQ(control.page.OnSaveCurrent(), ModeSaveResult::Sent);
    const auto sent = control.Sent();
    EXPECT_EQ(sent[8], 0x01);
    EXPECT_EQ(sent[9], 0x02) << "Busy Timeout Period";
    EXPECT_EQ(sent[3], 0xAD) << "bits 3-2 as read";
    EXPECT_EQ(sent[10], 0x0A);
    EXPECT_EQ(sent[11], 0x8C) << "bytes from 10 on as read";
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

TEST(ModePageFields, CachingRetentionPrioritiesShareByte3)
{
    PageOnDrive<CCachingParms> caching("88 12 04 21 FF FF 01 00 FF FF FF FF 1F 10 00 00 77 00 00 00");
    caching.Show();
    EXPECT_EQ(caching.Text(1086), "2");
    EXPECT_EQ(caching.Text(1087), "1");
    EXPECT_EQ(caching.Text(1089), "0100");
    EXPECT_EQ(caching.Text(1098), "0100");
    EXPECT_EQ(caching.Text(1107), "0100") << "Minimum Pre-fetch is 16 bits in every column";
    caching.Type(1095, "3");
    caching.Type(1096, "a");
    caching.form.Check(1172)->SetChecked(true);  // FSW, saved
    EXPECT_EQ(caching.page.OnSaveSaveable(), ModeSaveResult::Sent);
    const auto sent = caching.Sent();
    EXPECT_EQ(sent[3], 0x3A);
    EXPECT_EQ(sent[6], 0x01);
    EXPECT_EQ(sent[7], 0x00);
    EXPECT_EQ(sent[12], 0x9F) << "byte 12 bits 4-0 as read";
    EXPECT_EQ(sent[16], 0x77) << "byte 16 as read";
}

TEST(ModePageFields, UnitAttentionSendsTheSavedColumnsByte3)
{
    PageOnDrive<CUnitAttention> unit("80 02 88 00");
    unit.Show();
    unit.Type(1086, "11");
    unit.Type(1087, "22");
    unit.form.Check(1159)->SetChecked(true);  // saved SSM
    EXPECT_EQ(unit.page.OnSaveSaveable(), ModeSaveResult::Sent);
    EXPECT_EQ(unit.Sent(), Hex("00 02 C8 22")) << "bits 7 and 3 as read";
    EXPECT_EQ(unit.page.OnSaveCurrent(), ModeSaveResult::Sent);
    EXPECT_EQ(unit.Sent(), Hex("00 02 88 11"));
}

TEST(ModePageFields, EveryFieldFollowsTheDrivesChangeableBits)
{
    struct MaskCase {
        std::unique_ptr<CModePage> (*make)();
        const char* changeable;  // the page's values are all zero
        const char* label;
        bool locked;
    };
    const MaskCase cases[] = {
        {Make<CErrorRecovery>, "81 0A 00 00 00 00 00 00 00 00 FF 00", "Recovery Time Limit", false},
        {Make<CErrorRecovery>, "81 0A 00 00 00 00 00 00 00 00 FF 00", "AWRE", true},
        {Make<CVerifyErrRecovParms>, "87 0A 0F FF 00 00 00 00 00 00 00 FF", "Verify Recovery Time Limit", false},
        {Make<CVerifyErrRecovParms>, "87 0A 0F FF 00 00 00 00 00 00 00 FF", "Verify Correction Span (Bits)", true},
        {Make<CControlMode>, "8A 0A 00 F0 00 00 00 00 FF 00 00 00", "Busy Timeout Period", false},
        {Make<CDiscReconnect>, "82 0E FF FF FF FF FF FF FF FF FF FF 80 00 00 00", "DTDC", true},
        {Make<CDiscReconnect>, "82 0E 00 00 00 00 00 00 00 00 00 00 02 00 00 00", "DTDC", false},
        {Make<CNotch>, "8C 16 C0 00 FF FF FF FF FF FF FF FF FF FF FF FF 00 00 00 00 00 00 00 00", "Pages Notched", true},
        {Make<CXorControlMode>, "90 16 02 00 FF FF FF FF 00 00 00 00 FF FF FF FF FF FF FF FF 00 00 00 00",
         "Rebuild delay", true},
    };
    for (const MaskCase& item : cases) {
        std::vector<uint8_t> zeros = Hex(item.changeable);
        std::fill(zeros.begin() + 2, zeros.end(), 0);
        ScriptedModeDrive drive;
        drive.SetPage(zeros);
        drive.SetPage(1, Hex(item.changeable));
        drive.MakeSheetDevice();
        const std::unique_ptr<CModePage> page = item.make();
        FieldTextForm form(page->Table());
        page->AttachControls(&form, nullptr);
        page->OnInitDialog();
        const ModeField& field = *std::find_if(page->Fields().begin(), page->Fields().end(),
                                               [&](const ModeField& f) { return std::string(f.label) == item.label; });
        EXPECT_EQ(form.ReadOnly(field, Column::Current), item.locked) << item.label << " " << item.changeable;
        EXPECT_EQ(form.ReadOnly(field, Column::Saved), item.locked) << item.label << " " << item.changeable;
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
