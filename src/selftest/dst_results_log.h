#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The self-test results log page (10h, SPC-4): 20 parameters, the newest
// in parameter 0001h. Decoding only; the commander reports.

inline constexpr uint8_t kDstResultInProgress = 0xF;

// One parameter's content: bytes 4 to 19 of it.
struct DstLogEntry {
    std::array<uint8_t, 16> bytes{};

    uint8_t SelfTestCode() const { return bytes[0] >> 5; }
    uint8_t Result() const { return bytes[0] & 0x0F; }
    // Accumulated power-on hours when the test ended (0 while it runs).
    uint16_t TimeStamp() const;
    uint32_t FailingLbaHigh() const;
    uint32_t FailingLbaLow() const;
    uint8_t SenseKey() const { return bytes[12]; }
    uint8_t Asc() const { return bytes[13]; }
    uint8_t Ascq() const { return bytes[14]; }
    uint8_t Fru() const { return bytes[15]; }
    // An unused parameter carries nothing.
    bool Empty() const;

    bool operator==(const DstLogEntry&) const = default;
};

// The 20 entries of a 404-byte results page buffer in page order; none
// when the buffer holds another page or another length.
std::optional<std::vector<DstLogEntry>> DecodeDstResultsPage(const uint8_t* page);

// What a run knows of one drive's log: the log as it stood when the test
// was started, and the self-test code the test's own entry will carry.
struct DstRunMark {
    uint8_t selfTestCode = 0;          // SEND DIAGNOSTIC code >> 5: 1 short, 2 extended
    std::vector<DstLogEntry> entries;  // at the start
    uint16_t newestTimeStamp = 0;      // the largest then: the test's own cannot be older
    // The drive said the test was in progress at some poll of this run.
    bool seenRunning = false;
};

DstRunMark MarkDstRun(const std::vector<DstLogEntry>& entries, uint8_t sendDiagnosticCode);

enum class DstRunEntryState {
    None,        // the log holds no entry of this test (yet)
    InProgress,  // its entry says "in progress"
    Ended,       // its entry holds the outcome
};

// Whether the newest entry of `entries` is the run's own test: one written
// since the mark was taken (the entries of the mark have moved down), or,
// once the test was seen running, the newest one; in both cases only with
// the run's self-test code and a time stamp not older than the run's start.
DstRunEntryState FindDstRunEntry(const std::vector<DstLogEntry>& entries, const DstRunMark& mark);
