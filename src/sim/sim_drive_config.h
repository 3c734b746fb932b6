#pragma once

#include <cstddef>
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
        Sense,          // CHECK CONDITION with senseKey / asc / ascq in place of the command
        CallFails,      // the transport reports "call failed"
        Hang,           // no answer until the time-out (then a failed call) or until the drive answers
        Status,         // a status without sense (BUSY, RESERVATION CONFLICT, TASK SET FULL) in place of the command
        Recovered,      // the command runs and moves its data, then ends in CHECK CONDITION, RECOVERED ERROR
        ShortTransfer,  // the command runs and ends GOOD, but only transferBytes of its data-in arrive
    };
    Action action = Action::Sense;
    std::optional<uint8_t> opcode;  // none: every command
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    std::optional<uint32_t> times;  // fire at most this many times; none: always
    uint64_t afterCommands = 0;     // only once the drive has received this many commands
    uint8_t status = 0;             // Status: the status byte
    // ShortTransfer (and Recovered, when set): bytes of the data-in phase
    // that reach the initiator; the residual is reported, the rest of the
    // buffer is left as it was.
    std::optional<uint32_t> transferBytes;
    // Hang: the drive answers after this many seconds of the hang clock and
    // the command then runs; none: it never answers on its own.
    std::optional<uint32_t> hangSeconds;
};

// Statuses a target returns without sense data (SAM-5).
inline constexpr uint8_t kSimStatusBusy = 0x08;
inline constexpr uint8_t kSimStatusReservationConflict = 0x18;
inline constexpr uint8_t kSimStatusTaskSetFull = 0x28;

// The longest serial number the unit serial number page carries when it is
// read with an allocation length of 255 (a 4-byte header, then the serial).
inline constexpr size_t kSimMaxVpdSerialLength = 251;

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
    // False: standard INQUIRY bytes 36-43 are blank and the serial number
    // is only in the unit serial number page (80h), as on most current drives.
    bool serialInStandardInquiry = true;
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
