#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "smart/smart_page_table.h"

// Decoding of the log pages the SMART sheet reads. Everything here works on
// the bytes a drive returned and never reads outside them: a page whose
// length field claims more than was received is read as far as it goes.

// One tab of the sheet: its page and one text per field of the page, in
// the page's field order (empty when the drive gave no bytes for it).
struct SmartTab {
    const SmartPageSpec* page = nullptr;
    std::vector<std::string> values;
    // The same values as the numbers they show; none where the text is empty.
    std::vector<std::optional<int64_t>> numbers;
};

// Which of the two SMART pages the supported-pages list (page 00h) names.
struct SmartPagesListed {
    bool statusPage = false;     // 2Fh
    bool attributePage = false;  // 30h
};
SmartPagesListed ScanSupportedLogPages(std::span<const uint8_t> page);

// The fields of a page from one parameter (its bytes from byte 0 on, as
// many as the parameter holds). A field whose bytes lie beyond the
// parameter stays empty.
SmartTab FillSmartTab(const SmartPageSpec& page, std::span<const uint8_t> parameter);

// The status tab from log page 2Fh: the informational exceptions general
// parameter 0000h, when the page holds it.
SmartTab StatusTabFromPage(std::span<const uint8_t> page);

// Walks the parameters of the attribute page 30h and appends a tab for each
// code the sheet shows, in the page's order; a code met a second time adds
// nothing. Returns how many relevant parameters were found.
int WalkAttributeParameters(std::span<const uint8_t> page, std::vector<SmartTab>& tabs);

// One parameter of a log page: where it starts and how many of its bytes
// (header included) were received.
struct LogParameterView {
    uint16_t code = 0;
    std::span<const uint8_t> bytes;
};

// The parameters of a log page in order, cut to the page length and to the
// bytes received. The walk goes on while the next parameter's offset is below
// the page length, as the program always walked it.
std::vector<LogParameterView> LogPageParameters(std::span<const uint8_t> page);

// The page length field (bytes 2-3); 0 when fewer than four bytes came.
uint16_t LogPageLength(std::span<const uint8_t> page);
