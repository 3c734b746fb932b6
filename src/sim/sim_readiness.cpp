// Readiness: TEST UNIT READY, REQUEST SENSE (SPC-4) and START
// STOP UNIT (SBC-3).
#include "sim/sim_disk.h"

namespace {

// POWER CONDITION values SBC-3 defines for START STOP UNIT; the others are reserved.
bool IsDefinedPowerCondition(uint8_t condition)
{
    switch (condition) {
    case 0x0:  // START_VALID: act on START
    case 0x1:  // ACTIVE
    case 0x2:  // IDLE
    case 0x3:  // STANDBY
    case 0x7:  // LU_CONTROL
    case 0xA:  // FORCE_IDLE_0
    case 0xB:  // FORCE_STANDBY_0
        return true;
    default:
        return false;
    }
}

// With MRIE 6 a drive keeps a predicted failure (or, with TEST, a false
// one: ASCQ FFh) for the host to poll with REQUEST SENSE (SPC-4).
std::optional<SimSense> PendingInformationalException(const SimInformationalExceptions& control,
                                                      std::optional<uint8_t> tripAscq)
{
    if (control.dexcpt || control.mrie != 6) return std::nullopt;
    if (tripAscq) return MakeSense(kSenseKeyNoSense, 0x5D, *tripAscq);
    if (control.test) return MakeSense(kSenseKeyNoSense, 0x5D, 0xFF);
    return std::nullopt;
}

}  // namespace

std::optional<SimSense> SimDisk::NotReadyCondition(bool consume)
{
    if (auto restart = RestartCondition()) return restart;
    if (stopped_) return MakeSense(kSenseKeyNotReady, 0x04, 0x02);  // initializing command required
    if (notReadyRemaining_ > 0) {
        if (consume) --notReadyRemaining_;
        return MakeSense(kSenseKeyNotReady, 0x04, 0x01);  // in process of becoming ready
    }
    return std::nullopt;
}

void SimDisk::TestUnitReady(SimCommand&)
{
    // Process() has already refused the command when the unit is not ready.
}

void SimDisk::RequestSense(SimCommand& command)
{
    const bool descriptor = command.Bit(1, 0);
    const uint8_t allocationLength = command.Byte(4);

    // Sense that came with a CHECK CONDITION was delivered then (autosense)
    // and is not kept. What is left to report: a pending unit attention,
    // which this report clears, else the unit's current state.
    SimSense sense = MakeSense(kSenseKeyNoSense, 0x00, 0x00);
    if (!unitAttentions_.empty()) {
        sense = unitAttentions_.front();
        unitAttentions_.pop_front();
    } else if (const auto notReady = NotReadyCondition(false)) {
        sense = *notReady;
    } else if (const auto exception =
                   PendingInformationalException(InformationalExceptionsControl(), config_.logs.smartTripAscq)) {
        sense = *exception;
    } else if (const auto selfTest = SelfTestProgressSense(descriptor)) {
        // A background self-test is running: its progress (sim_selftest.cpp).
        command.SendData(*selfTest, allocationLength);
        return;
    }
    command.SendData(descriptor ? EncodeDescriptorSense(sense) : EncodeFixedSense(sense), allocationLength);
}

void SimDisk::StartStopUnit(SimCommand& command)
{
    const uint8_t powerCondition = command.Byte(4) >> 4;
    if (!IsDefinedPowerCondition(powerCondition)) {
        command.Fail(InvalidFieldInCdb(4, 7));
        return;
    }
    // Power conditions are not modelled; with a condition given, START and
    // LOEJ are ignored (SBC-3). The medium is not removed either: an
    // eject request on a removable unit only stops it.
    if (powerCondition != 0x0) return;
    stopped_ = !command.Bit(4, 0);
}
