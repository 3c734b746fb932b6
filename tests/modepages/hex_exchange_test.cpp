// The hexadecimal field exchange: what each width reads from a control's
// text, what it writes there, and the messages it shows.
#include <gtest/gtest.h>

#include <map>

#include "modepages/hex_exchange.h"
#include "modepages/mode_strings.h"
#include "support/recording_prompts.h"

namespace {

class Edit final : public EditField {
public:
    std::string Text() const override { return text; }
    void SetText(const std::string& value) override { text = value; }
    void SetReadOnly(bool value) override { readOnly = value; }
    void FocusAndSelect() override { focused = true; }
    std::string text;
    bool readOnly = false;
    bool focused = false;
};

class Controls final : public FieldControls {
public:
    EditField* Edit(int id) override { return &edits[id]; }
    CheckField* Check(int) override { return nullptr; }
    std::map<int, ::Edit> edits;
};

// One routine run from a control holding `text`.
template <typename Value, typename Routine>
bool From(Routine routine, const std::string& text, Value& value, RecordingPrompts* prompts = nullptr)
{
    Controls controls;
    controls.edits[1].text = text;
    CDataExchange dx(controls, true, prompts);
    routine(dx, 1, value);
    return !dx.Failed();
}

template <typename Value, typename Routine>
std::string To(Routine routine, Value value)
{
    Controls controls;
    CDataExchange dx(controls, false, nullptr);
    routine(dx, 1, value);
    return controls.edits[1].text;
}

}  // namespace

TEST(HexExchange, EmptyOrBlankFieldsReadAsZeroInEveryWidth)
{
    for (const std::string text : {"", " ", "      "}) {
        uint8_t byte = 7;
        EXPECT_TRUE(From(DDX_HexNibble, text, byte));
        EXPECT_EQ(byte, 0);
        byte = 7;
        EXPECT_TRUE(From(DDX_HexByte, text, byte));
        EXPECT_EQ(byte, 0);
        for (auto routine : {DDX_HexWord, DDX_HexTriple, DDX_HexDword}) {
            uint32_t number = 7;
            EXPECT_TRUE(From(routine, text, number));
            EXPECT_EQ(number, 0u);
        }
        HexQword qword{7, 7};
        EXPECT_TRUE(From(DDX_HexQword, text, qword));
        EXPECT_EQ(qword.Value(), 0u);
    }
}

TEST(HexExchange, ByteTextIsReadUpToTheFirstBlankAfterTheNumber)
{
    uint8_t byte = 0;
    EXPECT_TRUE(From(DDX_HexByte, "  1A", byte));
    EXPECT_EQ(byte, 0x1A);
    byte = 0;
    EXPECT_TRUE(From(DDX_HexByte, "1A xyz", byte));
    EXPECT_EQ(byte, 0x1A);
    byte = 0;
    EXPECT_TRUE(From(DDX_HexByte, "0000000FF", byte));
    EXPECT_EQ(byte, 0xFF);
    byte = 0x33;
    RecordingPrompts prompts;
    EXPECT_FALSE(From(DDX_HexByte, "1G", byte, &prompts));
    EXPECT_EQ(byte, 0x33) << "a failed byte leaves the held value";
    EXPECT_FALSE(From(DDX_HexByte, "100", byte, &prompts));
    EXPECT_EQ(byte, 0x33);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, "Enter a hex value from 0 to FF");
    EXPECT_EQ(prompts.messages[1].caption, "Kestrion");
    EXPECT_EQ(prompts.messages[1].icon, UserPrompts::Icon::Warning);
}

TEST(HexExchange, WideFieldsCountOnlySignificantDigits)
{
    uint32_t word = 0;
    EXPECT_TRUE(From(DDX_HexWord, "00000FFFF", word));
    EXPECT_EQ(word, 0xFFFFu) << "leading zeros do not count";
    RecordingPrompts prompts;
    word = 0x1234;
    EXPECT_FALSE(From(DDX_HexWord, "10000", word, &prompts));
    EXPECT_EQ(word, 0u) << "too many digits leave 0";
    EXPECT_EQ(prompts.messages.back().text, "Enter a hex value from 0 to ffff");

    uint32_t triple = 0;
    EXPECT_TRUE(From(DDX_HexTriple, "0 0 ABCDEF", triple)) << "blanks and zeros skipped in any mix";
    EXPECT_EQ(triple, 0xABCDEFu);
    EXPECT_FALSE(From(DDX_HexTriple, "1000000", triple, &prompts));
    EXPECT_EQ(prompts.messages.back().text, "Enter up to three bytes of hex data, 0 to FFFFFF");

    uint32_t dword = 0;
    EXPECT_FALSE(From(DDX_HexDword, "12x4", dword, &prompts));
    EXPECT_EQ(dword, 0x12u) << "a bad digit leaves the digits taken so far";
    EXPECT_EQ(prompts.messages.back().text, "Enter up to two words of hex data, 0 to FFFFFFFF");
    EXPECT_TRUE(From(DDX_HexDword, "FFFFFFFF", dword));
    EXPECT_EQ(dword, 0xFFFFFFFFu);
}

TEST(HexExchange, QwordsRoundTripThroughTheirText)
{
    for (const uint64_t value : {0x0102030405060708ull, 0xFFFFFFFFFFFFFFFFull, 0x5ull}) {
        HexQword qword = HexQword::From(value);
        const std::string text = To(DDX_HexQword, qword);
        EXPECT_EQ(text.size(), 16u);
        HexQword back{};
        EXPECT_TRUE(From(DDX_HexQword, text, back));
        EXPECT_EQ(back.Value(), value) << text;
    }
    EXPECT_EQ(To(DDX_HexQword, HexQword::From(0x0102030405060708ull)), "0102030405060708");
    RecordingPrompts prompts;
    HexQword qword{1, 2};
    EXPECT_FALSE(From(DDX_HexQword, "10000000000000000", qword, &prompts));
    EXPECT_EQ(qword.Value(), 0u);
    EXPECT_EQ(prompts.messages.back().text, "Enter a hex value from 0 to ffffffffffffffff (16 hex digits)");

    HexQword shifted{0x00000001, 0xF0000000};
    shifted.ShiftLeft(4);
    EXPECT_EQ(shifted.high, 0x0000001Fu);
    EXPECT_EQ(shifted.low, 0x00000000u);
}

TEST(HexExchange, NibblesAllowOneDigit)
{
    RecordingPrompts prompts;
    uint8_t nibble = 3;
    EXPECT_FALSE(From(DDX_HexNibble, "10", nibble, &prompts));
    EXPECT_EQ(nibble, 3);
    EXPECT_EQ(prompts.messages.back().text, "Enter a nibble value, 0 to F");
    EXPECT_TRUE(From(DDX_HexNibble, "f", nibble));
    EXPECT_EQ(nibble, 0xF);
}

TEST(HexExchange, TextLongerThanAFieldTakesIsRefusedNotCut)
{
    struct Case {
        std::string text;
        bool taken;
        uint32_t value;  // held afterwards
    };
    const Case cases[] = {
        {std::string(18, ' ') + "5", false, 9},
        {"0000000000000000FFFF", false, 9},
        {std::string(17, '0') + "5", true, 5},
        {"00FF" + std::string(20, ' '), true, 0xFF},  // trailing blanks do not count
    };
    for (const Case& item : cases) {
        RecordingPrompts prompts;
        uint32_t word = 9;
        EXPECT_EQ(From(DDX_HexWord, item.text, word, &prompts), item.taken) << item.text;
        EXPECT_EQ(word, item.value) << item.text;
        if (!item.taken) {
            EXPECT_EQ(prompts.messages.at(0).text, "Enter a hex value from 0 to ffff");
        }
    }
    uint8_t byte = 7;
    EXPECT_FALSE(From(DDX_HexByte, std::string(18, '0') + "1", byte));
    EXPECT_EQ(byte, 7);
    HexQword qword{1, 2};
    EXPECT_FALSE(From(DDX_HexQword, "0000" + std::string(16, 'f'), qword));
    EXPECT_EQ(qword.Value(), 0x0000000100000002u);
}

TEST(HexExchange, DecimalFieldsCheckTheirRange)
{
    Controls controls;
    RecordingPrompts prompts;
    const auto run = [&](const std::string& text, uint32_t& value) {
        controls.edits[1].text = text;
        CDataExchange dx(controls, true, &prompts);
        DDX_Text(dx, 1, value);
        DDV_MinMaxUInt(dx, value, 0, 7);
        return !dx.Failed();
    };
    uint32_t value = 0;
    EXPECT_TRUE(run(" 5 ", value));
    EXPECT_EQ(value, 5u);
    EXPECT_FALSE(run("8", value));
    EXPECT_EQ(prompts.messages.back().text, "Please enter an integer between 0 and 7.");
    EXPECT_FALSE(run("x", value));
    EXPECT_EQ(prompts.messages.back().text, "Please enter a positive integer.");
    EXPECT_FALSE(run("99999999999", value));

    CDataExchange out(controls, false, nullptr);
    uint32_t shown = 6;
    DDX_Text(out, 1, shown);
    EXPECT_EQ(controls.edits[1].text, "6");
}
