#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/sim_selftest_config.h"

// SELF-TEST CODE values of SEND DIAGNOSTIC (SPC-4).
inline constexpr uint8_t kSelfTestCodeDefault = 0x0;  // with the SELFTEST bit
inline constexpr uint8_t kSelfTestCodeBackgroundShort = 0x1;
inline constexpr uint8_t kSelfTestCodeBackgroundExtended = 0x2;
inline constexpr uint8_t kSelfTestCodeAbortBackground = 0x4;
inline constexpr uint8_t kSelfTestCodeForegroundShort = 0x5;
inline constexpr uint8_t kSelfTestCodeForegroundExtended = 0x6;

// SELF-TEST RESULTS values of the results log (SPC-4).
inline constexpr uint8_t kSelfTestPassed = 0x0;
inline constexpr uint8_t kSelfTestAbortedByCommand = 0x1;
inline constexpr uint8_t kSelfTestInProgress = 0xF;

inline constexpr size_t kSelfTestLogEntries = 20;
inline constexpr size_t kSelfTestParameterLength = 20;  // 4-byte header + 16 bytes

// The self-test machinery of one drive, reckoned against whole seconds of
// a clock the drive hands in. A background test is not a thread: it is a
// start time and an end time, and the state is brought up to date whenever
// the drive is asked about it.
class SimSelfTestUnit {
public:
    SimSelfTestUnit(const SimSelfTestConfig& config, int64_t powerOnAt);

    bool Supported() const { return config_.supported; }
    // The drive does not offer this self-test code.
    bool Refuses(uint8_t code) const;
    // The drive was powered on at this moment of its clock: power-on hours
    // count from here.
    void PowerOn(int64_t now);

    // Ends and logs a background test whose time is up.
    void Settle(int64_t now);
    bool BackgroundRunning() const { return running_.has_value(); }
    // How far the running background test is, as SPC-4's PROGRESS
    // INDICATION (a fraction of 65536); 0 when none runs.
    uint16_t ProgressIndication(int64_t now) const;

    // The caller has checked that the drive supports self-tests and that no
    // background test is running.
    void StartBackground(uint8_t code, int64_t now);
    // False when no background test is running.
    bool AbortBackground(int64_t now);
    // Runs a foreground or the default self-test to its end; true when it
    // passed.
    bool RunForeground(uint8_t code, int64_t now);

    // The 20 parameters of the results log page as of `now`, newest first
    // (a running test as an entry "in progress"); empty when the drive
    // keeps no results log.
    std::vector<uint8_t> LogParameters(int64_t now) const;
    // The finished tests, newest first.
    const std::deque<SimSelfTestLogEntry>& Log() const { return log_; }

private:
    struct Running {
        uint8_t code = 0;
        int64_t start = 0;
        int64_t end = 0;
        uint32_t seconds = 1;
        bool fails = false;
    };

    uint32_t PowerOnHoursAt(int64_t when) const;
    bool Fails(uint8_t code) const;
    SimSelfTestLogEntry Finished(uint8_t code, int64_t when, bool failed) const;
    void Record(const SimSelfTestLogEntry& entry);

    SimSelfTestConfig config_;
    int64_t powerOnAt_ = 0;
    std::optional<Running> running_;
    std::deque<SimSelfTestLogEntry> log_;
};
