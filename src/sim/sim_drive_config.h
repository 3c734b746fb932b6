#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_buffer.h"
#include "sim/sim_mode_pages.h"
#include "sim/sim_geometry.h"
#include "sim/sim_log_pages.h"
#include "sim/sim_media_config.h"
#include "sim/sim_selftest_config.h"

// Capability bits a drive reports in standard INQUIRY data (bytes 3, 6, 7).
struct SimCapabilityBits {
    bool aerc = false;    // byte 3 bit 7
    bool trmIop = false;  // byte 3 bit 6
    bool addr32 = false;  // byte 6 bit 1
    bool addr16 = false;  // byte 6 bit 0
    bool relAdr = false;  // byte 7 bit 7
    bool wbus32 = false;  // byte 7 bit 6
    bool wbus16 = false;  // byte 7 bit 5
    bool sync = false;    // byte 7 bit 4
    bool linked = false;  // byte 7 bit 3
    bool tranDis = false; // byte 7 bit 2
    bool cmdQue = false;  // byte 7 bit 1
    bool sftRe = false;   // byte 7 bit 0
};

// A fault the bench injects into one drive.
struct SimFault {
    enum class Action {
        Sense,      // CHECK CONDITION with senseKey / asc / ascq
        CallFails,  // the transport reports "call failed"
        Hang,       // no answer until the stop flag or the time-out, then a failed call
    };
    Action action = Action::Sense;
    std::optional<uint8_t> opcode;  // none: every command
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    std::optional<uint32_t> times;  // fire at most this many times; none: always
    uint64_t afterCommands = 0;     // only once the drive has received this many commands
};

// One simulated logical unit as the bench describes it.
struct SimDriveConfig {
    uint8_t peripheralQualifier = 0;
    uint8_t deviceType = 0;  // 00h direct access
    bool removable = false;
    uint8_t version = 0x05;
    std::string vendor;
    std::string product;
    std::string revision;
    std::string serial;
    SimCapabilityBits capabilities;

    uint64_t blocks = 0;
    uint32_t blockLength = 512;

    bool unitAttentionAtStart = false;  // 29h/00h pending at power on
    bool descriptorSense = false;       // autosense in descriptor format (D_SENSE)
    bool stopped = false;               // starts stopped: needs START UNIT
    uint32_t notReadyCommands = 0;      // media commands answered "becoming ready"
    std::vector<SimFault> faults;
    SimModePagesConfig modePages;  // sim_mode_pages.h
    SimSelfTestConfig selfTest;    // sim_selftest_config.h
    std::optional<SimGeometry> geometry;  // none: no translate address page
    SimBufferConfig buffer;        // sim_buffer.h: READ / WRITE BUFFER, microcode download
    SimLogConfig logs;             // sim_log_pages.h: log pages, counters, SMART data
    SimMediaConfig media;          // sim_media_config.h: unreadable blocks, rate, latency, defect lists
};
