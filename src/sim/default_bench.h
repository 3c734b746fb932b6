#pragma once

#include <string_view>

// What `kestrion --bench` shows a new user: the maker's drives and another
// vendor's on two buses, a 4096-byte-block drive, a drive larger than
// READ CAPACITY (10) can tell, and a CD-ROM that discovery skips.
std::string_view DefaultBenchJson();

inline constexpr const char* kDefaultBenchName = "built-in bench";
