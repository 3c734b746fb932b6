#include "scsi/sense.h"

#include <algorithm>
#include <cstring>

#include "scsi/byte_order.h"

namespace {

// Fixed-format sense (SPC-4 4.5.3) built from descriptor format (4.5.2).
constexpr size_t kFixedLength = 18;

uint8_t ResponseCode(const uint8_t* sense) { return sense[0] & 0x7F; }

}  // namespace

size_t ConvertSenseToFixed(uint8_t* sense, size_t length, size_t capacity)
{
    if (sense == nullptr || length < 1) return length;
    const uint8_t code = ResponseCode(sense);
    if (code != kSenseDescriptorCurrent && code != kSenseDescriptorDeferred) return length;

    uint8_t fixed[kFixedLength] = {};
    fixed[0] = code == kSenseDescriptorCurrent ? kSenseFixedCurrent : kSenseFixedDeferred;
    if (length > 1) fixed[2] = sense[1] & 0x0F;
    if (length > 2) fixed[12] = sense[2];
    if (length > 3) fixed[13] = sense[3];
    fixed[7] = kFixedLength - 8;

    // Descriptors follow the 8-byte header, within the additional length.
    const size_t additional = length > 7 ? sense[7] : 0;
    const size_t end = std::min(length, 8 + additional);
    size_t offset = 8;
    while (offset + 2 <= end) {
        const uint8_t type = sense[offset];
        const size_t descriptorLength = 2 + static_cast<size_t>(sense[offset + 1]);
        if (offset + descriptorLength > end) break;
        const uint8_t* d = sense + offset;
        if (type == 0x00 && descriptorLength >= 12) {
            // Information: fixed format has room for the low 32 bits only.
            const bool fits = d[4] == 0 && d[5] == 0 && d[6] == 0 && d[7] == 0;
            std::memcpy(fixed + 3, d + 8, 4);
            if ((d[2] & 0x80) && fits) fixed[0] |= 0x80;
        } else if (type == 0x01 && descriptorLength >= 12) {
            std::memcpy(fixed + 8, d + 8, 4);
        } else if (type == 0x02 && descriptorLength >= 8) {
            std::memcpy(fixed + 15, d + 4, 3);
        } else if (type == 0x03 && descriptorLength >= 4) {
            fixed[14] = d[3];
        } else if (type == 0x04 && descriptorLength >= 4) {
            // Stream commands: filemark, EOM, ILI.
            fixed[2] |= d[3] & 0xE0;
        } else if (type == 0x05 && descriptorLength >= 4) {
            fixed[2] |= d[3] & 0x20;
        }
        offset += descriptorLength;
    }

    const size_t written = std::min(capacity, kFixedLength);
    std::memcpy(sense, fixed, written);
    const size_t stale = std::min(capacity, length);
    if (stale > written) std::memset(sense + written, 0, stale - written);
    return written;
}

SenseCodes ReadSenseCodes(const uint8_t* fixedSense, size_t length)
{
    SenseCodes codes;
    if (fixedSense == nullptr) return codes;
    if (length > 2) codes.senseKey = fixedSense[2] & 0x0F;
    if (length > 12) codes.asc = fixedSense[12];
    if (length > 13) codes.ascq = fixedSense[13];
    return codes;
}

std::optional<uint32_t> ReadSenseInformation(const uint8_t* fixedSense, size_t length)
{
    if (fixedSense == nullptr || length < 7 || (fixedSense[0] & 0x80) == 0) return std::nullopt;
    const uint8_t code = ResponseCode(fixedSense);
    if (code != kSenseFixedCurrent && code != kSenseFixedDeferred) return std::nullopt;
    return LoadBe32(fixedSense + 3);
}

const char* SenseKeyName(uint8_t senseKey)
{
    static constexpr const char* kNames[16] = {
        "NO SENSE",        "RECOVERED ERROR", "NOT READY",       "MEDIUM ERROR",
        "HARDWARE ERROR",  "ILLEGAL REQUEST", "UNIT ATTENTION",  "DATA PROTECT",
        "BLANK CHECK",     "VENDOR SPECIFIC", "COPY ABORTED",    "ABORTED COMMAND",
        "RESERVED",        "VOLUME OVERFLOW", "MISCOMPARE",      "COMPLETED",
    };
    return kNames[senseKey & 0x0F];
}
