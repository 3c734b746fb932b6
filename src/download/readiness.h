#pragma once

#include <cstdint>
#include <string>

#include "scsi/sense.h"

// Results of one check of a drive after its transfer (TEST UNIT READY).
inline constexpr int kCheckReady = 0;
inline constexpr int kCheckStatus = 1;      // a status other than GOOD and not NOT READY (sense, if any, in the codes)
inline constexpr int kCheckCallFailed = 2;  // no answer
inline constexpr int kCheckNotReady = 3;

// What an answer says of a drive that has just been sent new microcode.
enum class ReadinessAnswer {
    Ready,
    // Still restarting: becoming ready, another operation in progress, busy,
    // no answer, or the unit attentions a restart on new microcode raises.
    Restarting,
    // Anything else: the drive is in trouble, waiting longer will not help.
    Failed,
};

// One check as the download saw it.
struct ReadinessCheck {
    int result = kCheckReady;
    uint8_t status = 0;  // the SCSI status when it was not GOOD
    SenseCodes codes;    // of the answer when it was a CHECK CONDITION
    ReadinessAnswer answer = ReadinessAnswer::Ready;
    uint32_t number = 0;        // 1 for the first check after the transfer
    int64_t secondsWaited = 0;  // since the first check was sent
};

ReadinessAnswer ClassifyReadiness(const ReadinessCheck& check);

// The answer in words, e.g. "not ready, becoming ready (04h/01h)" or
// "unit attention 3Fh/01h: microcode changed" or "busy (status 08h)".
std::string ReadinessCheckText(const ReadinessCheck& check);
