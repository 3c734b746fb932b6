#include "sim/sim_disk.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/clock.h"
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
        t[kOpVerify10] = {&SimDisk::Verify10, true, false};
        t[kOpRead16] = {&SimDisk::Read16, true, false};
        t[kOpWriteAndVerify16] = {&SimDisk::WriteAndVerify16, true, false};
        t[kOpVerify16] = {&SimDisk::Verify16, true, false};
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
    std::optional<HangStart> hangStart;
    {
        std::lock_guard lock(mutex_);
        commandIndex = commandsReceived_++;
        recentCdbs_.emplace_back(command.Cdb(), command.Cdb() + command.CdbLength());
        if (recentCdbs_.size() > kRecentCdbLimit) recentCdbs_.pop_front();
        transportFault = TakeFault(FaultStage::Transport, command.Opcode(), commandIndex);
        // The time-out counts from the command's arrival: a hang clock moved
        // on once the command is seen brings its time-out nearer.
        if (transportFault && transportFault->action == SimFault::Action::Hang)
            hangStart = HangStart{hangClock_, hangClock_ ? hangClock_->Now() : 0, std::chrono::steady_clock::now(),
                                  hangReleases_.load()};
    }
    if (transportFault) {
        // The lock is not held while hanging, so other handles of the same
        // drive go on working.
        const bool answered = hangStart && AwaitAnswer(timeOutSeconds, transportFault->hangSeconds, *hangStart);
        if (!answered) {
            SimResult failed;
            failed.callFailed = true;
            return failed;
        }
    }

    std::lock_guard lock(mutex_);
    Process(command, commandIndex);
    return Finish(command);
}

void SimDisk::Process(SimCommand& command, uint64_t commandIndex)
{
    const CommandEntry& entry = Commands()[command.Opcode()];

    // A busy or full task set turns the command away before the unit looks
    // at it, so a pending unit attention stays pending.
    if (const auto fault = TakeFault(FaultStage::Status, command.Opcode(), commandIndex)) {
        command.EndWithStatus(fault->status);
        return;
    }
    // INQUIRY and REQUEST SENSE are answered during a restart as they are
    // past a unit attention (SPC-4); everything else finds the unit not ready.
    SettleRestart();
    if (const auto restart = RestartCondition(); restart && !entry.passesUnitAttention) {
        command.Fail(*restart);
        return;
    }
    // A unit attention is reported once, to the first command that does not
    // pass it, and is then cleared (UA_INTLCK_CTRL 00b).
    if (!entry.passesUnitAttention && !unitAttentions_.empty()) {
        command.Fail(unitAttentions_.front());
        unitAttentions_.pop_front();
        return;
    }
    if (const auto fault = TakeFault(FaultStage::Sense, command.Opcode(), commandIndex)) {
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
    FaultState* completion = FindFault(FaultStage::Completion, command.Opcode(), commandIndex);
    if (completion && completion->fault.transferBytes) command.LimitDataIn(*completion->fault.transferBytes);
    (this->*entry.handler)(command);
    if (!completion || command.CallFailed() || command.Sense()) return;
    // A fault that found nothing to act on has not fired: a short transfer
    // needs more data than it lets through.
    const SimFault& fault = completion->fault;
    if (fault.action == SimFault::Action::ShortTransfer && !command.DataInCut()) return;
    ++completion->fired;
    if (fault.action == SimFault::Action::Recovered)
        command.Recover(MakeSense(kSenseKeyRecoveredError, fault.asc, fault.ascq));
}

SimDisk::FaultStage SimDisk::StageOf(SimFault::Action action)
{
    switch (action) {
    case SimFault::Action::CallFails:
    case SimFault::Action::Hang: return FaultStage::Transport;
    case SimFault::Action::Status: return FaultStage::Status;
    case SimFault::Action::Sense: return FaultStage::Sense;
    case SimFault::Action::Recovered:
    case SimFault::Action::ShortTransfer: return FaultStage::Completion;
    }
    return FaultStage::Sense;
}

SimDisk::FaultState* SimDisk::FindFault(FaultStage stage, uint8_t opcode, uint64_t commandIndex)
{
    for (FaultState& state : faults_) {
        const SimFault& fault = state.fault;
        if (StageOf(fault.action) != stage) continue;
        if (fault.opcode && *fault.opcode != opcode) continue;
        if (commandIndex < fault.afterCommands) continue;
        if (fault.times && state.fired >= *fault.times) continue;
        return &state;
    }
    return nullptr;
}

std::optional<SimFault> SimDisk::TakeFault(FaultStage stage, uint8_t opcode, uint64_t commandIndex)
{
    FaultState* state = FindFault(stage, opcode, commandIndex);
    if (!state) return std::nullopt;
    ++state->fired;
    return state->fault;
}

// A hung drive cannot see the program's stop flag: only the request's
// time-out, the drive's own answer after hangSeconds, or a test releasing
// it end the wait. True when the drive answered before the time-out.
bool SimDisk::AwaitAnswer(uint32_t timeOutSeconds, std::optional<uint32_t> hangSeconds, const HangStart& start) const
{
    const bool answers = hangSeconds && *hangSeconds < timeOutSeconds;
    const int64_t wait = answers ? *hangSeconds : timeOutSeconds;
    const auto released = [&] { return hangReleases_.load() != start.releases; };
    if (start.clock) {
        while (!released() && start.clock->Now() - start.clockSeconds < wait) std::this_thread::sleep_for(kHangPoll);
    } else {
        const auto deadline = start.steady + std::chrono::seconds(wait);
        while (!released() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(kHangPoll);
    }
    return answers || released();
}

SimResult SimDisk::Finish(const SimCommand& command) const
{
    SimResult result;
    if (command.CallFailed()) {
        result.callFailed = true;
        return result;
    }
    if (command.Status() != kStatusGood) {
        result.status = command.Status();
        return result;
    }
    // A data-out phase ends before the target judges the parameter list,
    // so what it took has moved even when the command then fails.
    result.dataMoved = command.DataOutLength();
    if (command.Sense()) {
        result.status = kStatusCheckCondition;
        result.sense = descriptorSense_ ? EncodeDescriptorSense(*command.Sense()) : EncodeFixedSense(*command.Sense());
        if (!command.KeepsData()) return result;
    } else {
        result.status = kStatusGood;
    }
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

void SimDisk::ReleaseHangs()
{
    ++hangReleases_;
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
