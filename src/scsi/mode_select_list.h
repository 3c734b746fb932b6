#pragma once

#include <cstddef>
#include <cstdint>

// MODE SELECT(6) CDB byte 1.
inline constexpr uint8_t kModeSelectPageFormat = 0x10;  // PF: the pages follow the SPC-4 page format
inline constexpr uint8_t kModeSelectSavePages = 0x01;   // SP

// Readies mode data as MODE SENSE(6) returned it to go back in a MODE
// SELECT(6) parameter list of `length` bytes. In MODE SELECT the mode data
// length is reserved (SPC-4 7.5.5), so is the whole device-specific
// parameter of a direct-access device, WP and DPOFUA included (SBC-3
// 6.4.1), and so is PS in every page: all of them are cleared. The medium
// type, the block descriptors and the page bytes stay as they are.
void PrepareModeSelectList(uint8_t* list, size_t length);
