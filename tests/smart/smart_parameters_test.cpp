#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "smart/smart_parameters.h"

#include "scsi/byte_order.h"

namespace {

std::vector<uint8_t> Hex(const std::string& text)
{
    std::vector<uint8_t> bytes;
    std::istringstream words(text);
    std::string word;
    while (words >> word) bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

// A log page around the given parameter bytes.
std::vector<uint8_t> Page(uint8_t code, const std::vector<uint8_t>& parameters)
{
    std::vector<uint8_t> page(4 + parameters.size());
    page[0] = code;
    StoreBe16(page.data() + 2, static_cast<uint16_t>(parameters.size()));
    std::copy(parameters.begin(), parameters.end(), page.begin() + 4);
    return page;
}

std::vector<std::string> Captions(const std::vector<SmartTab>& tabs)
{
    std::vector<std::string> captions;
    for (const SmartTab& tab : tabs) captions.emplace_back(tab.page->caption);
    return captions;
}

SmartTab Fill(uint16_t code, const std::string& parameter)
{
    const SmartPageSpec* page = FindSmartAttributePage(code);
    EXPECT_NE(page, nullptr);
    return FillSmartTab(*page, Hex(parameter));
}

TEST(SmartParameters, DiskTemperatureInWholeDegreesAndHours)
{
    //                                  4  5  6  7  8  9  10 11 12 13 14 15 16 17 18 19 20 21
    const SmartTab tab = Fill(0x0117, "01 17 03 12 64 5a 2d 00 01 2c 01 c7 00 00 0e 10 00 d2 00 00 0e 0f");
    EXPECT_EQ(tab.values, (std::vector<std::string>{"100", "90", "45", "30", "45", "60", "21", "59"}));
    EXPECT_EQ(tab.page->className, std::string("CDiscTemp"));
    EXPECT_EQ(tab.page->fields[3].controlId, 1101);
}

TEST(SmartParameters, EachPageTakesItsOwnBytes)
{
    EXPECT_EQ(Fill(0x0004, "00 04 03 0c 02 03 24 00 00 00 00 00 00 00 07 d2").values,
              (std::vector<std::string>{"2", "3", "36"}));
    EXPECT_EQ(Fill(0x0032, "00 32 03 0c 0c 09 06 00 00 00 00 00 00 00 00 01").values,
              (std::vector<std::string>{"12", "9", "6"}));
    // Bytes 7-11 of the spin-up parameter are not shown.
    EXPECT_EQ(Fill(0x005B, "00 5b 03 0c 64 63 18 ff ff ff ff ff 00 05 00 00").values,
              (std::vector<std::string>{"100", "99", "24", "5"}));
    // A single byte shown with "%d" is never negative.
    EXPECT_EQ(Fill(0x0145, "01 45 03 0a ff 80 0a 00 00 2b 00 02 01 1a").values,
              (std::vector<std::string>{"255", "128", "10", "43", "2", "282"}));
}

TEST(SmartParameters, FieldsBeyondAShortParameterStayEmpty)
{
    // Length 3: the normalized trio only; what follows belongs to no field.
    EXPECT_EQ(Fill(0x0117, "01 17 03 03 64 5a 2d").values,
              (std::vector<std::string>{"100", "90", "45", "", "", "", "", ""}));
    EXPECT_EQ(Fill(0x0145, "01 45 03 05 64 64 0a 00 00").values,
              (std::vector<std::string>{"100", "100", "10", "", "", ""}));
}

TEST(SmartParameters, WalkAddsTabsInThePagesOrder)
{
    const std::vector<uint8_t> page = Page(0x30, Hex("00 04 03 03 64 64 24 "
                                                     "01 17 03 03 64 64 2d "
                                                     "00 32 03 03 64 64 14"));
    std::vector<SmartTab> tabs;
    EXPECT_EQ(WalkAttributeParameters(page, tabs), 3);
    EXPECT_EQ(Captions(tabs), (std::vector<std::string>{"Reallocated Sector Count (parameter code 4h)",
                                                         "Disk Temperature (parameter code 117h)",
                                                         "Recovered Data Error Rate  (parameter code 32h)"}));
}

TEST(SmartParameters, UnknownAndSkippedCodesAreSteppedOverByTheirLength)
{
    // 0099h of length 10 takes 14 bytes; 0043h and 0037h are skipped too.
    const std::vector<uint8_t> page = Page(0x30, Hex("00 99 03 0a 00 04 03 03 01 02 03 04 05 06 "
                                                     "00 43 03 03 64 64 1e "
                                                     "00 37 03 03 64 64 32 "
                                                     "00 04 03 03 63 62 24"));
    std::vector<SmartTab> tabs;
    EXPECT_EQ(WalkAttributeParameters(page, tabs), 1);
    ASSERT_EQ(tabs.size(), 1u);
    EXPECT_EQ(tabs[0].values, (std::vector<std::string>{"99", "98", "36"}))
        << "the 0004h inside 0099h's value is not a parameter";

    std::vector<SmartTab> none;
    EXPECT_EQ(WalkAttributeParameters(Page(0x30, Hex("00 43 03 03 64 64 1e")), none), 0);
    EXPECT_TRUE(none.empty());
}

TEST(SmartParameters, WalkStaysInsideWhatTheDriveSent)
{
    // The page claims FFFFh bytes but 11 came: the 0117h parameter is cut.
    const std::vector<uint8_t> cut = Hex("30 00 ff ff 01 17 03 12 64 5a 2d");
    std::vector<SmartTab> tabs;
    EXPECT_EQ(WalkAttributeParameters(cut, tabs), 1);
    EXPECT_EQ(tabs[0].values, (std::vector<std::string>{"100", "90", "45", "", "", "", "", ""}));

    // A full-length page of 255-byte parameters: a 16-bit offset would wrap
    // and walk forever.
    std::vector<uint8_t> full(4 + 0xFFFF, 0x00);
    full[0] = 0x30;
    full[2] = 0xFF;
    full[3] = 0xFF;
    for (size_t offset = 4; offset + 4 <= full.size(); offset += 259) full[offset + 3] = 0xFF;
    const std::vector<LogParameterView> parameters = LogPageParameters(full);
    EXPECT_EQ(parameters.size(), (0xFFFFu - 4 + 258) / 259);
    for (const LogParameterView& parameter : parameters) {
        EXPECT_GE(parameter.bytes.data(), full.data());
        EXPECT_LE(parameter.bytes.data() + parameter.bytes.size(), full.data() + full.size());
    }
}

TEST(SmartParameters, SupportedPagesListedWithinThePageLength)
{
    EXPECT_TRUE(ScanSupportedLogPages(Hex("00 00 00 04 00 02 2f 30")).statusPage);
    EXPECT_TRUE(ScanSupportedLogPages(Hex("00 00 00 04 00 02 2f 30")).attributePage);
    const SmartPagesListed shortList = ScanSupportedLogPages(Hex("00 00 00 02 00 02 2f 30"));
    EXPECT_FALSE(shortList.statusPage);
    EXPECT_FALSE(shortList.attributePage);
    const SmartPagesListed overclaimed = ScanSupportedLogPages(Hex("00 00 01 00 00 30"));
    EXPECT_FALSE(overclaimed.statusPage);
    EXPECT_TRUE(overclaimed.attributePage);
}

}  // namespace
