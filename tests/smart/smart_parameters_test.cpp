// The attribute log page into tabs, and the supported pages list: cases in
// tests/data/smart/attribute_pages.txt.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "scsi/byte_order.h"
#include "smart/smart_parameters.h"
#include "support/case_file.h"

namespace {

// "caption: 1 2 -" for each tab, as the case file writes them.
std::string TabsText(const std::vector<SmartTab>& tabs)
{
    std::string text = tabs.empty() ? "none" : "";
    for (const SmartTab& tab : tabs) {
        text += (text.empty() ? "" : " ; ") + std::string(tab.page->caption) + ":";
        for (const std::string& value : tab.values) text += " " + (value.empty() ? "-" : value);
    }
    return text;
}

TEST(SmartParameters, AttributePagesAndSupportedListsFromTheCaseFile)
{
    for (const CaseLine& c : ReadCaseFile("smart/attribute_pages.txt")) {
        SCOPED_TRACE(CaseTrace("attribute_pages.txt", c));
        std::vector<uint8_t> bytes = ParseHexText(c[1]);
        if (c[0] == "listed") {
            const SmartPagesListed listed = ScanSupportedLogPages(bytes);
            const std::string text = std::string(listed.statusPage ? "2f " : "") + (listed.attributePage ? "30" : "");
            EXPECT_EQ(text.empty() ? "none" : text.substr(0, text.find_last_not_of(' ') + 1), c[2]);
            continue;
        }
        if (c[0] == "params") {
            bytes.insert(bytes.begin(), 4, 0x00);
            bytes[0] = 0x30;
            StoreBe16(bytes.data() + 2, static_cast<uint16_t>(bytes.size() - 4));
        }
        std::vector<SmartTab> tabs;
        const int added = WalkAttributeParameters(bytes, tabs);
        EXPECT_EQ(static_cast<size_t>(added), tabs.size());
        EXPECT_EQ(TabsText(tabs), c[2]);
    }
}

TEST(SmartParameters, AFullLengthPageOfLongParametersIsWalkedToItsEnd)
{
    // 255-byte parameters over FFFFh bytes: a 16-bit offset would wrap and
    // walk forever.
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

}  // namespace
