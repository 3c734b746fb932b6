// Self-tests (SPC-4 SEND DIAGNOSTIC self-test codes) and their results log.
#include "sim/sim_selftest.h"

#include <algorithm>
#include <ctime>

#include "platform/clock.h"
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"

namespace {

constexpr int64_t kSecondsPerHour = 3600;
constexpr uint8_t kBinaryListParameter = 0x03;  // FORMAT AND LINKING 11b
constexpr uint8_t kSenseKeySpecificValid = 0x80;

void PutEntry(const SimSelfTestLogEntry& entry, uint8_t* out)
{
    out[4] = static_cast<uint8_t>((entry.code << 5) | (entry.result & 0x0F));
    out[5] = entry.number;
    const uint32_t hours = std::min<uint32_t>(entry.powerOnHours, 0xFFFF);
    StoreBe16(out + 6, static_cast<uint16_t>(hours));
    StoreBe64(out + 8, entry.firstFailure);
    out[16] = entry.senseKey & 0x0F;
    out[17] = entry.asc;
    out[18] = entry.ascq;
    out[19] = entry.vendor;
}

bool IsShort(uint8_t code)
{
    return code == kSelfTestCodeBackgroundShort || code == kSelfTestCodeForegroundShort;
}

}  // namespace

SimSelfTestUnit::SimSelfTestUnit(const SimSelfTestConfig& config, int64_t powerOnAt)
    : config_(config), powerOnAt_(powerOnAt)
{
    config_.shortSeconds = std::max<uint32_t>(config_.shortSeconds, 1);
    config_.extendedSeconds = std::max<uint32_t>(config_.extendedSeconds, 1);
    const auto& history = config_.history;
    log_.assign(history.begin(), history.begin() + static_cast<ptrdiff_t>(std::min(history.size(), kSelfTestLogEntries)));
}

bool SimSelfTestUnit::Refuses(uint8_t code) const
{
    if (IsShort(code)) return config_.refusesShort;
    const bool extended = code == kSelfTestCodeBackgroundExtended || code == kSelfTestCodeForegroundExtended;
    return extended && config_.refusesExtended;
}

void SimSelfTestUnit::PowerOn(int64_t now) { powerOnAt_ = now; }

uint32_t SimSelfTestUnit::PowerOnHoursAt(int64_t when) const
{
    const int64_t hours = when > powerOnAt_ ? (when - powerOnAt_) / kSecondsPerHour : 0;
    return static_cast<uint32_t>(std::min<int64_t>(config_.powerOnHours + hours, 0xFFFFFFFF));
}

bool SimSelfTestUnit::Fails(uint8_t code) const
{
    if (!config_.failure) return false;
    const SimSelfTestFailure& failure = *config_.failure;
    if (code == kSelfTestCodeDefault) return failure.defaultTest;
    return IsShort(code) ? failure.shortTest : failure.extendedTest;
}

SimSelfTestLogEntry SimSelfTestUnit::Finished(uint8_t code, int64_t when, bool failed) const
{
    SimSelfTestLogEntry entry;
    entry.code = code;
    entry.powerOnHours = PowerOnHoursAt(when);
    if (!failed) return entry;
    const SimSelfTestFailure& failure = *config_.failure;
    entry.result = failure.result;
    if (failure.segment) {
        entry.number = *failure.segment;
    } else if (failure.result >= 5 && failure.result <= 7) {
        entry.number = static_cast<uint8_t>(failure.result - 4);
    }
    if (failure.lba) entry.firstFailure = *failure.lba;
    entry.senseKey = failure.senseKey;
    entry.asc = failure.asc;
    entry.ascq = failure.ascq;
    entry.vendor = failure.vendor;
    return entry;
}

void SimSelfTestUnit::Record(const SimSelfTestLogEntry& entry)
{
    log_.push_front(entry);
    if (log_.size() > kSelfTestLogEntries) log_.pop_back();
}

void SimSelfTestUnit::Settle(int64_t now)
{
    if (!running_ || now < running_->end) return;
    Record(Finished(running_->code, running_->end, running_->fails));
    running_.reset();
}

uint16_t SimSelfTestUnit::ProgressIndication(int64_t now) const
{
    if (!running_ || now <= running_->start) return 0;
    const uint64_t elapsed = static_cast<uint64_t>(now - running_->start);
    return static_cast<uint16_t>(std::min<uint64_t>(elapsed * 65536 / running_->seconds, 0xFFFF));
}

void SimSelfTestUnit::StartBackground(uint8_t code, int64_t now)
{
    Running test;
    test.code = code;
    test.start = now;
    test.seconds = IsShort(code) ? config_.shortSeconds : config_.extendedSeconds;
    test.fails = Fails(code);
    // A failing test stops where its failure lies; a passing one runs its full time.
    const uint32_t percent = test.fails ? std::min<uint32_t>(config_.failure->atPercent, 99) : 100;
    test.end = now + static_cast<int64_t>(uint64_t{test.seconds} * percent / 100);
    running_ = test;
}

bool SimSelfTestUnit::AbortBackground(int64_t now)
{
    Settle(now);
    if (!running_) return false;
    SimSelfTestLogEntry entry = Finished(running_->code, now, false);
    entry.result = kSelfTestAbortedByCommand;
    Record(entry);
    running_.reset();
    return true;
}

bool SimSelfTestUnit::RunForeground(uint8_t code, int64_t now)
{
    const bool fails = Fails(code);
    if (config_.supported) Record(Finished(code, now, fails));
    return !fails;
}

std::vector<uint8_t> SimSelfTestUnit::LogParameters(int64_t now) const
{
    if (!config_.supported) return {};
    std::vector<SimSelfTestLogEntry> entries;
    if (running_) {
        if (now >= running_->end) {
            entries.push_back(Finished(running_->code, running_->end, running_->fails));
        } else {
            // SPC-4: a test still in progress shows no power-on hours yet.
            SimSelfTestLogEntry inProgress;
            inProgress.code = running_->code;
            inProgress.result = kSelfTestInProgress;
            entries.push_back(inProgress);
        }
    }
    entries.insert(entries.end(), log_.begin(), log_.end());
    entries.resize(std::min(entries.size(), kSelfTestLogEntries));

    std::vector<uint8_t> parameters(kSelfTestLogEntries * kSelfTestParameterLength, 0);
    for (size_t i = 0; i < kSelfTestLogEntries; ++i) {
        uint8_t* out = &parameters[i * kSelfTestParameterLength];
        out[0] = 0x00;
        out[1] = static_cast<uint8_t>(i + 1);  // parameter codes 0001h-0014h
        out[2] = kBinaryListParameter;
        out[3] = static_cast<uint8_t>(kSelfTestParameterLength - 4);
        if (i < entries.size()) PutEntry(entries[i], out);
    }
    return parameters;
}

int64_t SimDisk::SelfTestNow() const
{
    return selfTestClock_ ? selfTestClock_->Now() : static_cast<int64_t>(std::time(nullptr));
}

void SimDisk::SetSelfTestClock(Clock* clock)
{
    std::lock_guard lock(mutex_);
    selfTestClock_ = clock;
    // The drive counts its power-on time from the moment it was given the clock.
    selfTest_.PowerOn(SelfTestNow());
}

std::vector<uint8_t> SimDisk::SelfTestResultsLogParameters() const
{
    return selfTest_.LogParameters(SelfTestNow());
}

std::optional<std::vector<uint8_t>> SimDisk::SelfTestProgressSense(bool descriptor)
{
    const int64_t now = SelfTestNow();
    selfTest_.Settle(now);
    if (!selfTest_.BackgroundRunning()) return std::nullopt;

    // SPC-4: NO SENSE, LOGICAL UNIT NOT READY, SELF-TEST IN PROGRESS, with
    // the progress indication in the sense-key specific field.
    const uint16_t progress = selfTest_.ProgressIndication(now);
    const SimSense sense = MakeSense(kSenseKeyNoSense, 0x04, 0x09);
    uint8_t specific[3] = {kSenseKeySpecificValid};
    StoreBe16(specific + 1, progress);
    if (!descriptor) {
        std::vector<uint8_t> fixed = EncodeFixedSense(sense);
        std::copy(specific, specific + 3, fixed.begin() + 15);
        return fixed;
    }
    std::vector<uint8_t> described = EncodeDescriptorSense(sense);
    const uint8_t header[4] = {0x02, 0x06, 0x00, 0x00};  // sense key specific descriptor
    described.insert(described.end(), header, header + 4);
    described.insert(described.end(), specific, specific + 3);
    described.push_back(0x00);
    described[7] = static_cast<uint8_t>(described.size() - 8);
    return described;
}
