#include "sim/sim_disk.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "scsi/stop.h"
#include "sim/sim_opcodes.h"

namespace {

constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;
constexpr size_t kRecentCdbLimit = 64;
constexpr auto kHangPoll = std::chrono::milliseconds(5);

// A medium needs at least one block of at least one byte.
SimDriveConfig Usable(SimDriveConfig config)
{
    if (config.blocks == 0) config.blocks = 1;
    if (config.blockLength == 0) config.blockLength = 512;
    return config;
}

}  // namespace

SimDisk::SimDisk(const SimDriveConfig& config)
    : config_(Usable(config)),
      medium_(config_.blocks, config_.blockLength),
      stopped_(config.stopped),
      notReadyRemaining_(config.notReadyCommands),
      descriptorSense_(config.descriptorSense)
{
    for (const SimFault& fault : config.faults) faults_.push_back({fault, 0});
    // Power on / reset: the unit attention of highest priority (SAM-5).
    if (config.unitAttentionAtStart) unitAttentions_.push_back(MakeSense(kSenseKeyUnitAttention, 0x29, 0x00));
}

const SimDisk::CommandTable& SimDisk::Commands()
{
    static const CommandTable table = [] {
        CommandTable t{};
        t[kOpTestUnitReady] = {&SimDisk::TestUnitReady, true, false};
        t[kOpRequestSense] = {&SimDisk::RequestSense, false, true};
        t[kOpInquiry] = {&SimDisk::Inquiry, false, true};
        t[kOpStartStopUnit] = {&SimDisk::StartStopUnit, false, false};
        t[kOpReadCapacity10] = {&SimDisk::ReadCapacity10, true, false};
        t[kOpRead10] = {&SimDisk::Read10, true, false};
        t[kOpWriteAndVerify10] = {&SimDisk::WriteAndVerify10, true, false};
        t[kOpServiceActionIn16] = {&SimDisk::ServiceActionIn16, true, false};
        t[kOpSendDiagnostic] = {&SimDisk::SendDiagnostic, false, false};
        t[kOpReceiveDiagnosticResults] = {&SimDisk::ReceiveDiagnosticResults, false, false};
        t[kOpModeSense6] = {&SimDisk::ModeSense6, false, false};
        t[kOpModeSelect6] = {&SimDisk::ModeSelect6, false, false};
        t[kOpWriteBuffer] = {&SimDisk::WriteBuffer, false, false};
        t[kOpReadBuffer] = {&SimDisk::ReadBuffer, false, false};
        t[kOpLogSelect] = {&SimDisk::LogSelect, false, false};
        t[kOpLogSense] = {&SimDisk::LogSense, false, false};
        t[kOpVendorSmart] = {&SimDisk::VendorSmartCommand, false, false};
        t[kOpReadDefectData10] = {&SimDisk::ReadDefectData10, true, false};
        return t;
    }();
    return table;
}

SimResult SimDisk::Execute(const uint8_t* cdb, size_t cdbLength, SimDirection direction, uint8_t* buffer,
                           uint32_t bufferLength, uint32_t timeOutSeconds)
{
    SimCommand command(cdb, cdbLength, direction, buffer, bufferLength);
    uint64_t commandIndex = 0;
    std::optional<SimFault> transportFault;
    Clock* clock = nullptr;
    {
        std::lock_guard lock(mutex_);
        commandIndex = commandsReceived_++;
        recentCdbs_.emplace_back(command.Cdb(), command.Cdb() + command.CdbLength());
        if (recentCdbs_.size() > kRecentCdbLimit) recentCdbs_.pop_front();
        transportFault = TakeFault(true, command.Opcode(), commandIndex);
        clock = hangClock_;
    }
    if (transportFault) {
        // The lock is not held while hanging, so other handles of the same
        // drive, and the thread that sets the stop flag, go on working.
        if (transportFault->action == SimFault::Action::Hang) WaitForStopOrTimeOut(timeOutSeconds, clock);
        SimResult failed;
        failed.callFailed = true;
        return failed;
    }

    std::lock_guard lock(mutex_);
    Process(command, commandIndex);
    return Finish(command);
}

void SimDisk::Process(SimCommand& command, uint64_t commandIndex)
{
    const CommandEntry& entry = Commands()[command.Opcode()];

    // A unit attention is reported once, to the first command that does not
    // pass it, and is then cleared (UA_INTLCK_CTRL 00b).
    if (!entry.passesUnitAttention && !unitAttentions_.empty()) {
        command.Fail(unitAttentions_.front());
        unitAttentions_.pop_front();
        return;
    }
    if (const auto fault = TakeFault(false, command.Opcode(), commandIndex)) {
        command.Fail(MakeSense(fault->senseKey, fault->asc, fault->ascq));
        return;
    }
    if (!entry.handler) {
        command.Fail(InvalidCommandOperationCode());
        return;
    }
    // NACA in the CONTROL byte asks for ACA, which this target does not
    // offer (standard INQUIRY NORMACA is zero).
    const size_t length = CdbGroupLength(command.Opcode());
    if (length > 0 && command.Bit(length - 1, 2)) {
        command.Fail(InvalidFieldInCdb(static_cast<uint16_t>(length - 1), 2));
        return;
    }
    if (entry.needsReady) {
        if (const auto notReady = NotReadyCondition(true)) {
            command.Fail(*notReady);
            return;
        }
    }
    (this->*entry.handler)(command);
}

std::optional<SimFault> SimDisk::TakeFault(bool transportStage, uint8_t opcode, uint64_t commandIndex)
{
    for (FaultState& state : faults_) {
        const SimFault& fault = state.fault;
        const bool isTransport = fault.action != SimFault::Action::Sense;
        if (isTransport != transportStage) continue;
        if (fault.opcode && *fault.opcode != opcode) continue;
        if (commandIndex < fault.afterCommands) continue;
        if (fault.times && state.fired >= *fault.times) continue;
        ++state.fired;
        return fault;
    }
    return std::nullopt;
}

void SimDisk::WaitForStopOrTimeOut(uint32_t timeOutSeconds, Clock* clock) const
{
    if (clock) {
        const int64_t start = clock->Now();
        while (!g_bStopRequested.load() && clock->Now() - start < static_cast<int64_t>(timeOutSeconds))
            std::this_thread::sleep_for(kHangPoll);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeOutSeconds);
    while (!g_bStopRequested.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kHangPoll);
}

SimResult SimDisk::Finish(const SimCommand& command) const
{
    SimResult result;
    if (command.CallFailed()) {
        result.callFailed = true;
        return result;
    }
    // A data-out phase ends before the target judges the parameter list,
    // so what it took has moved even when the command then fails.
    result.dataMoved = command.DataOutLength();
    if (command.Sense()) {
        result.status = kStatusCheckCondition;
        result.sense = descriptorSense_ ? EncodeDescriptorSense(*command.Sense()) : EncodeFixedSense(*command.Sense());
        return result;
    }
    result.status = kStatusGood;
    result.dataInLength = command.DataInLength();
    result.dataMoved += command.DataInLength();
    return result;
}

void SimDisk::AddFault(const SimFault& fault)
{
    std::lock_guard lock(mutex_);
    faults_.push_back({fault, 0});
}

void SimDisk::ClearFaults()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void SimDisk::SetNotReady(uint32_t mediaCommands)
{
    std::lock_guard lock(mutex_);
    notReadyRemaining_ = mediaCommands;
}

void SimDisk::RaiseUnitAttention(uint8_t asc, uint8_t ascq)
{
    std::lock_guard lock(mutex_);
    const SimSense sense = MakeSense(kSenseKeyUnitAttention, asc, ascq);
    for (const SimSense& pending : unitAttentions_)
        if (pending == sense) return;
    unitAttentions_.push_back(sense);
}

void SimDisk::SetDescriptorSense(bool descriptor)
{
    std::lock_guard lock(mutex_);
    descriptorSense_ = descriptor;
}

void SimDisk::SetHangClock(Clock* clock)
{
    std::lock_guard lock(mutex_);
    hangClock_ = clock;
}

void SimDisk::MarkUnwritable(uint64_t lba)
{
    std::lock_guard lock(mutex_);
    medium_.MarkUnwritable(lba);
}

bool SimDisk::IsStopped() const
{
    std::lock_guard lock(mutex_);
    return stopped_;
}

uint32_t SimDisk::NotReadyRemaining() const
{
    std::lock_guard lock(mutex_);
    return notReadyRemaining_;
}

size_t SimDisk::PendingUnitAttentions() const
{
    std::lock_guard lock(mutex_);
    return unitAttentions_.size();
}

uint64_t SimDisk::CommandsReceived() const
{
    std::lock_guard lock(mutex_);
    return commandsReceived_;
}

std::vector<std::vector<uint8_t>> SimDisk::RecentCdbs() const
{
    std::lock_guard lock(mutex_);
    return {recentCdbs_.begin(), recentCdbs_.end()};
}

size_t SimDisk::StoredBlocks() const
{
    std::lock_guard lock(mutex_);
    return medium_.StoredBlocks();
}

std::vector<uint8_t> SimDisk::ReadMedium(uint64_t lba, uint32_t blocks) const
{
    std::lock_guard lock(mutex_);
    if (lba >= medium_.Blocks()) return {};
    const uint64_t count = std::min<uint64_t>(blocks, medium_.Blocks() - lba);
    std::vector<uint8_t> data(static_cast<size_t>(count * medium_.BlockLength()));
    medium_.Read(lba, data.data(), data.size());
    return data;
}
