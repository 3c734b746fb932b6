#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Log pages of the simulated drive (SPC-4 LOG SENSE / LOG SELECT): what the
// bench configures, and the state a drive keeps while it runs.

inline constexpr uint8_t kSimLogSupportedPages = 0x00;
inline constexpr uint8_t kSimLogWriteErrors = 0x02;
inline constexpr uint8_t kSimLogReadErrors = 0x03;
inline constexpr uint8_t kSimLogVerifyErrors = 0x05;
inline constexpr uint8_t kSimLogNonMediumErrors = 0x06;
inline constexpr uint8_t kSimLogTemperature = 0x0D;
inline constexpr uint8_t kSimLogSelfTestResults = 0x10;
inline constexpr uint8_t kSimLogInformationalExceptions = 0x2F;
inline constexpr uint8_t kSimLogAttributes = 0x30;

// The vendor key the program's LOG SELECT probe writes to page 06h.
inline constexpr uint16_t kSimSmartKeyParameter = 0xFFF0;
inline constexpr uint32_t kSimSmartKeyValue = 0x5C2A0000;

// Predicted failure (SPC-4: FAILURE PREDICTION THRESHOLD EXCEEDED family).
inline constexpr uint8_t kSimFailurePredictionAsc = 0x5D;

// One parameter of the vendor attribute page 30h: normalized value, worst
// value, threshold (bytes 4-6), then vendor bytes from byte 7 on.
struct SimAttribute {
    uint16_t code = 0;
    std::vector<uint8_t> value;  // the parameter's bytes from byte 4 on
};

// The standard attribute set of a healthy drive, its disk temperature
// taken from `temperature` (degrees C).
std::vector<SimAttribute> DefaultSimAttributes(uint8_t temperature);

// Counter parameters an error counter page has whatever the bench says
// (SPC-4: 0000h-0006h for write, read and verify; 0000h for non-medium).
std::vector<uint16_t> StandardCounterCodes(uint8_t pageCode);
bool IsErrorCounterPage(uint8_t pageCode);

// How a drive takes the LOG SENSE PPC bit, made obsolete in SPC-4: it
// reports only changed parameters, refuses the bit (ILLEGAL REQUEST, INVALID
// FIELD IN CDB), or ignores it and reports every parameter.
enum class SimPpc { Supported, Rejected, Ignored };

struct SimLogConfig {
    // Pages kept besides 00h (supported pages); page 10h is listed when the
    // drive keeps a self-test results log.
    std::vector<uint8_t> pages{kSimLogWriteErrors, kSimLogReadErrors,  kSimLogVerifyErrors,
                               kSimLogNonMediumErrors, kSimLogTemperature, kSimLogInformationalExceptions};
    // Accepts the vendor LOG SELECT key and command DFh; none: when page
    // 30h is kept.
    std::optional<bool> normalizedSmart;
    // Cumulative counter values at power on, by page and parameter code;
    // vendor codes (8000h and up) add parameters.
    std::map<uint8_t, std::map<uint16_t, uint64_t>> counters;
    uint8_t temperature = 35;       // degrees C; FFh: no valid reading
    uint8_t tripTemperature = 65;   // reference temperature / trip point
    std::optional<uint8_t> smartTripAscq;  // predicted failure: ASC 5Dh with this ASCQ
    // Page 30h in this order; none: DefaultSimAttributes.
    std::optional<std::vector<SimAttribute>> attributes;
    SimPpc ppc = SimPpc::Supported;

    bool Keeps(uint8_t pageCode) const;
    bool OffersNormalizedSmart() const;
};

// One counter of an error counter page, as the drive keeps it.
struct SimLogCounter {
    uint16_t code = 0;
    uint8_t control = 0;  // DU, TSD, ETC and TMC as last set; format and linking 00b
    uint64_t cumulative = 0;
    uint64_t threshold = 0;
};

// A parameter as LOG SENSE reports it.
struct SimLogParameter {
    uint16_t code = 0;
    uint8_t control = 0;
    std::vector<uint8_t> value;

    bool operator==(const SimLogParameter&) const = default;
};

// What a drive remembers of its log pages between commands.
struct SimLogState {
    explicit SimLogState(const SimLogConfig& config);

    std::map<uint8_t, std::vector<SimLogCounter>> counters;  // by page, in code order
    // Per page, the current cumulative parameters as the drive last
    // reported or set them: LOG SENSE with PPC returns what differs.
    std::map<uint8_t, std::vector<SimLogParameter>> lastReported;
};
