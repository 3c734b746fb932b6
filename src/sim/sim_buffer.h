#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// READ BUFFER / WRITE BUFFER (SPC-4) of the simulated drive: the data
// buffer (buffer id 0, data mode 02h and descriptor mode 03h) and microcode
// download with offsets (mode 07h).

// Microcode arrives in pieces of at most this many bytes; a shorter piece,
// possibly empty, completes the image.
inline constexpr uint32_t kSimMicrocodePieceSize = 65536;
// Largest buffer capacity the READ BUFFER descriptor can state.
inline constexpr uint32_t kSimMaxBufferCapacity = 0xFFFFFF;
// Longest restart a bench may give a drive: a day.
inline constexpr uint32_t kSimMaxRestartSeconds = 86400;
// INQUIRY's product revision level field (bytes 32-35).
inline constexpr size_t kSimRevisionLength = 4;

// A sense the drive answers a failed step with.
struct SimBufferSense {
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

struct SimBufferConfig {
    // The data buffer.
    uint32_t capacity = 262144;
    // Buffer offsets must be multiples of 2^offsetBoundary; FFh: 0 only.
    uint8_t offsetBoundary = 0;
    // A faulty buffer byte: bit stuckBit of byte stuckOffset always reads stuckValue.
    std::optional<uint32_t> stuckOffset;
    uint8_t stuckBit = 0;
    bool stuckValue = false;

    // Microcode download.
    uint32_t microcodeCapacity = 8 * 1024 * 1024;
    // After taking an image the drive restarts on it: for this many seconds
    // of its clock it answers NOT READY (04h/01h) to every command but
    // INQUIRY and REQUEST SENSE, then reports the restart as unit
    // attentions (29h/00h, then 3Fh/01h).
    uint32_t restartSeconds = 3;
    // ... or never becomes ready again (NOT READY, 04h/03h).
    bool neverReady = false;
    // The revision the drive reports once it has taken an image: this text,
    // or the four characters at this offset of the image (an image that
    // holds no printable revision there is refused). Neither: unchanged.
    std::optional<std::string> revisionAfter;
    std::optional<uint32_t> revisionOffset;
    // The image is refused when its last piece arrives: CHECK CONDITION with this sense.
    std::optional<SimBufferSense> rejectImage;
    // The piece with this index (0 = the first) fails: with failPieceSense,
    // or as a failed call when that is empty.
    std::optional<uint32_t> failPiece;
    std::optional<SimBufferSense> failPieceSense;
};
