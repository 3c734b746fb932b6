#include "download/readiness.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "scsi/scsi_request.h"
#include "scsi/string_format.h"

namespace {

constexpr uint8_t kSenseKeyNotReady = 0x02;
constexpr uint8_t kSenseKeyUnitAttention = 0x06;
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscResetOccurred = 0x29;
constexpr uint8_t kAscOperatingConditionsChanged = 0x3F;
constexpr uint8_t kStatusTaskSetFull = 0x28;

// LOGICAL UNIT NOT READY qualifiers (SPC-4) that say the unit is on its way
// and will be ready by itself; the kernel's own retry rules take the same.
constexpr uint8_t kInProgressAscqs[] = {
    0x01,  // in process of becoming ready
    0x04,  // format in progress
    0x05,  // rebuild in progress
    0x06,  // recalculation in progress
    0x07,  // operation in progress
    0x08,  // long write in progress
    0x09,  // self-test in progress
    0x0A,  // asymmetric access state transition
    0x11,  // notify (enable spinup) required: the initiator's port sends it
    0x14,  // space allocation in progress
    0x1A,  // start stop unit command in progress
    0x1B,  // sanitize in progress
    0x1D,  // configuration in progress
};

struct SenseName {
    uint8_t asc;
    int ascq;  // -1: any
    const char* text;
};

constexpr SenseName kNames[] = {
    {0x04, 0x01, "becoming ready"},
    {0x04, 0x02, "initializing command required"},
    {0x04, 0x03, "manual intervention required"},
    {0x04, 0x07, "operation in progress"},
    {0x04, 0x11, "waiting for spin-up permission"},
    {0x29, 0x00, "power on or reset"},
    {0x29, 0x01, "power on"},
    {0x29, -1, "reset"},
    {0x3F, 0x01, "microcode changed"},
    {0x3F, 0x03, "inquiry data changed"},
    {0x3F, -1, "operating conditions changed"},
};

const char* NameOf(const SenseCodes& codes)
{
    for (const SenseName& name : kNames)
        if (name.asc == codes.asc && (name.ascq < 0 || name.ascq == codes.ascq)) return name.text;
    return nullptr;
}

}  // namespace

ReadinessAnswer ClassifyReadiness(const ReadinessCheck& check)
{
    switch (check.result) {
    case kCheckReady: return ReadinessAnswer::Ready;
    // A drive restarting on new microcode may drop off the bus for a while.
    case kCheckCallFailed: return ReadinessAnswer::Restarting;
    default: break;
    }
    // The drive is there but cannot take a command now (SAM-5).
    if (check.status == kStatusBusy || check.status == kStatusTaskSetFull) return ReadinessAnswer::Restarting;
    if (check.status != kStatusCheckCondition) return ReadinessAnswer::Failed;
    const SenseCodes& codes = check.codes;
    if (codes.senseKey == kSenseKeyNotReady && codes.asc == kAscNotReady &&
        std::find(std::begin(kInProgressAscqs), std::end(kInProgressAscqs), codes.ascq) != std::end(kInProgressAscqs))
        return ReadinessAnswer::Restarting;
    // The restart's reset and whatever it changed (microcode, INQUIRY data,
    // reported LUNs ...); each is reported once and the next check goes on.
    if (codes.senseKey == kSenseKeyUnitAttention &&
        (codes.asc == kAscResetOccurred || codes.asc == kAscOperatingConditionsChanged))
        return ReadinessAnswer::Restarting;
    return ReadinessAnswer::Failed;
}

std::string ReadinessCheckText(const ReadinessCheck& check)
{
    if (check.result == kCheckReady) return "ready";
    if (check.result == kCheckCallFailed) return "no answer";
    if (check.status == kStatusBusy) return "busy (status 08h)";
    if (check.status == kStatusTaskSetFull) return "task set full (status 28h)";
    if (check.status != kStatusCheckCondition) return StringPrintf("status %02Xh", unsigned{check.status});
    const SenseCodes& codes = check.codes;
    const char* name = NameOf(codes);
    const std::string pair = StringPrintf("%02Xh/%02Xh", unsigned{codes.asc}, unsigned{codes.ascq});
    if (codes.senseKey == kSenseKeyNotReady && codes.asc == kAscNotReady)
        return std::string("not ready") + (name ? std::string(", ") + name : "") + " (" + pair + ")";
    if (codes.senseKey == kSenseKeyUnitAttention && name != nullptr)
        return "unit attention " + pair + ": " + name;
    return StringPrintf("check condition, sense key %Xh, ASC %02Xh, ASCQ %02Xh", unsigned{codes.senseKey},
                        unsigned{codes.asc}, unsigned{codes.ascq});
}
