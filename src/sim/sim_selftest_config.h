#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// How a drive's self-tests fail when the bench makes them fail: what the
// self-test results log then records (SPC-4, self-test results log
// parameter).
struct SimSelfTestFailure {
    uint8_t result = 7;                 // SELF-TEST RESULTS 3-7: 7 = the third (read) segment failed
    std::optional<uint8_t> segment;     // SELF-TEST NUMBER; none: 1, 2, 3 for results 5, 6, 7, else 0
    std::optional<uint64_t> lba;        // ADDRESS OF FIRST FAILURE; none: not tied to a block (all ones)
    uint8_t senseKey = 0x3;             // MEDIUM ERROR
    uint8_t asc = 0x11;                 // UNRECOVERED READ ERROR
    uint8_t ascq = 0x00;
    uint8_t vendor = 0x00;              // the parameter's vendor-specific byte
    uint8_t atPercent = 50;             // how far a background test gets before it fails, 0-99
    bool shortTest = true;              // background and foreground short self-tests fail
    bool extendedTest = true;           // background and foreground extended self-tests fail
    bool defaultTest = false;           // the default self-test (SELFTEST bit) fails
};

// One parameter of the self-test results log.
struct SimSelfTestLogEntry {
    uint8_t code = 0;
    uint8_t result = 0;
    uint8_t number = 0;
    uint32_t powerOnHours = 0;  // stored in full, sent saturated at FFFFh
    uint64_t firstFailure = ~uint64_t{0};
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    uint8_t vendor = 0;

    bool operator==(const SimSelfTestLogEntry&) const = default;
};

// The drive's own self-tests (SEND DIAGNOSTIC self-test codes) and their
// results log (log page 10h).
struct SimSelfTestConfig {
    bool supported = true;              // false: only the default self-test, and no results log
    uint32_t shortSeconds = 60;         // how long a short self-test runs
    uint32_t extendedSeconds = 300;     // how long an extended self-test runs
    uint32_t powerOnHours = 1000;       // accumulated power-on hours when the bench starts
    std::optional<SimSelfTestFailure> failure;
    // Tests of this kind (background and foreground) are not offered: ILLEGAL
    // REQUEST, INVALID FIELD IN CDB.
    bool refusesShort = false;
    bool refusesExtended = false;
    std::vector<SimSelfTestLogEntry> history;  // the log when the bench starts, newest first
};
