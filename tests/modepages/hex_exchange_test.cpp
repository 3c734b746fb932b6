// The hexadecimal and decimal field exchange: what each width reads from a
// control's text, what it writes there, and the messages it shows. Cases in
// tests/data/modepages/hex_exchange.txt.
#include <gtest/gtest.h>

#include <map>

#include "modepages/hex_exchange.h"
#include "support/case_file.h"
#include "support/recording_prompts.h"

namespace {

class Edit final : public EditField {
public:
    std::string Text() const override { return text; }
    void SetText(const std::string& value) override { text = value; }
    void SetReadOnly(bool) override {}
    void FocusAndSelect() override {}
    std::string text;
};

class OneEdit final : public FieldControls {
public:
    EditField* Edit(int) override { return &edit; }
    CheckField* Check(int) override { return nullptr; }
    ::Edit edit;
};

// Runs the width's routine on control 1, the value widened to 64 bits.
void Exchange(const std::string& width, CDataExchange& dx, uint64_t& value)
{
    using Routine32 = void (*)(CDataExchange&, int, uint32_t&);
    using Routine8 = void (*)(CDataExchange&, int, uint8_t&);
    static const std::map<std::string, Routine32> wide{
        {"word", DDX_HexWord}, {"triple", DDX_HexTriple}, {"dword", DDX_HexDword}};
    static const std::map<std::string, Routine8> narrow{{"nibble", DDX_HexNibble}, {"byte", DDX_HexByte}};
    if (width == "qword") {
        HexQword qword = HexQword::From(value);
        DDX_HexQword(dx, 1, qword);
        value = qword.Value();
    } else if (narrow.count(width)) {
        auto byte = static_cast<uint8_t>(value);
        narrow.at(width)(dx, 1, byte);
        value = byte;
    } else {
        auto number = static_cast<uint32_t>(value);
        if (width == "decimal") {
            DDX_Text(dx, 1, number);
            if (dx.SaveAndValidate()) DDV_MinMaxUInt(dx, number, 0, 7);
        } else {
            wide.at(width)(dx, 1, number);
        }
        value = number;
    }
}

TEST(HexExchange, EveryWidthReadsWritesAndRefusesItsText)
{
    for (const CaseLine& c : ReadCaseFile("modepages/hex_exchange.txt")) {
        SCOPED_TRACE(CaseTrace("hex_exchange.txt", c));
        const std::string text = c[1].substr(1, c[1].size() - 2);  // the quotes keep the blanks
        OneEdit controls;
        controls.edit.text = c[3] == "shows" ? "" : text;
        RecordingPrompts prompts;
        CDataExchange dx(controls, c[3] != "shows", &prompts);
        uint64_t value = std::stoull(c[2], nullptr, 16);
        Exchange(c[0], dx, value);
        if (c[3] == "shows") {
            EXPECT_EQ(controls.edit.text, text);
            continue;
        }
        EXPECT_EQ(!dx.Failed(), c[3] == "ok");
        EXPECT_EQ(value, std::stoull(c[4], nullptr, 16));
        ASSERT_EQ(prompts.messages.size(), c[3] == "ok" ? 0u : 1u);
        if (c[3] == "ok") continue;
        EXPECT_EQ(prompts.messages[0].text, c[5]);
        EXPECT_EQ(prompts.messages[0].caption, "Kestrion");
        EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Warning);
    }
}

}  // namespace
