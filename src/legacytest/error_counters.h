#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

class OutputWindow;
class TestContext;

inline constexpr int kErrorCountersPass = 0;
inline constexpr int kErrorCountersFailed = -1;

// The changed-parameter amount above which a page asks for a full scan.
inline constexpr int kErrorCountLimit = 100;

// One parameter of a log page as the drive returned it: code, control
// byte and value.
struct LogParameterBytes {
    uint16_t code = 0;
    std::vector<uint8_t> bytes;  // control byte, length byte and value
    bool operator==(const LogParameterBytes&) const = default;
};

// The cumulative values of the write, read and verify error counter pages
// (02h, 03h, 05h), by page, as last read.
using ErrorCounterReading = std::map<uint8_t, std::vector<LogParameterBytes>>;

// The parameters of a log page: only whole parameters inside both the page
// length and the bytes at hand.
std::vector<LogParameterBytes> DecodeLogParameters(const uint8_t* page, size_t size);

// The amount of parameter data (each parameter's four header bytes and its
// value) of `now` that is not in `before`: what a drive reports as changed
// when asked for the parameters changed since a read.
int ChangedParameterAmount(const std::vector<LogParameterBytes>& before, const std::vector<LogParameterBytes>& now);

// "Error Log Pages" and "Re-check Error Log Pages": read the current
// cumulative values of pages 02h, 03h and 05h. The first check of a
// drive's sequence keeps them; every later one fails when a page's changed
// amount since the check before is above 100. The drive's counters are
// never reset. 0 pass, -1 failure.
int CheckErrorCounterPages(OutputWindow* output, TestContext& context);
