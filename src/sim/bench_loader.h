#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/bench.h"

// Bench files: JSON describing one simulated host adapter, its buses and
// devices, and the faults to inject. docs/bench-format.md has examples.
//
//   {
//     "buses": 2,                      required, 1-8: buses of the adapter
//     "adapter": {                     optional: what the capabilities query reports
//       "maximumTransferLength": 65536, "maximumPhysicalPages": 17,
//       "supportedAsynchronousEvents": 0, "alignmentMask": 3,
//       "taggedQueuing": true, "adapterScansDown": false, "adapterUsesPio": false
//     },
//     "devices": [ DEVICE, ... ]       required (may be empty)
//   }
//
// DEVICE:
//   "driveNumber"        0-999, N of "\\.\physicaldriveN"; default: the
//                        device's position in the list. Must be unique.
//   "bus"                required, 0 to buses - 1
//   "targetId"           required, 0-255
//   "lun"                0-255, default 0. bus/targetId/lun must be unique.
//   "inAdapterList"      true (default): listed in the adapter's device list
//   "claimed"            true (default): listed as claimed by a driver
//   "adapterListError"   1-4095: the device-list query on this drive fails
//                        with this errno-style code
//   "capabilitiesError"  1-4095: likewise the capabilities query
//   "deviceType"         0-31, default 0 (direct access; 5 = CD-ROM)
//   "peripheralQualifier" 0-7, default 0
//   "removable"          false (default)
//   "version"            0-255, INQUIRY VERSION byte, default 5
//   "vendor"             required, at most 8 printable ASCII characters
//   "product"            required, at most 16
//   "revision"           at most 4, default blanks
//   "serial"             at most 8 (INQUIRY bytes 36-43), default blanks
//   "serialInInquiry"    false: bytes 36-43 blank, the serial (then at most
//                        251) only in VPD page 80h
//   "capabilities"       object of true/false: "relAdr", "wbus32", "wbus16",
//                        "sync", "linked", "tranDis", "cmdQue", "sftRe"
//                        (byte 7), "addr32", "addr16" (byte 6), "aerc",
//                        "trmIop" (byte 3); all false by default
//   "blocks"             1-2^63: number of logical blocks, or
//   "lastLba"            0-(2^63 - 1): the last block's address; exactly
//                        one of the two is required
//   "blockLength"        512-65535, default 512
//   "unitAttention"      true: power-on unit attention (29h/00h) pending
//   "descriptorSense"    true: CHECK CONDITION sense in descriptor format
//   "stopped"            true: the spindle is stopped until START UNIT
//   "notReadyCommands"   0-1000000: media commands answered "becoming ready"
//   "faults"             list of FAULT, tried in order; the first that
//                        applies to a command acts on it
//   "selfTest"           SEND DIAGNOSTIC self-tests and log page 10h:
//                        "supported" (default true), "shortSeconds" (60),
//                        "extendedSeconds" (300), "powerOnHours" (1000),
//                        "failure" {"result" 3-7, "segment", "lba",
//                        "senseKey", "asc", "ascq", "vendor", "atPercent"
//                        0-99, "tests": ["short", "extended", "default"]}
//   "geometry"           {"cylinders", "heads" 1-255, "sectorsPerTrack"},
//                        holding every block: the translate address page
//   "buffer"             READ / WRITE BUFFER data buffer: "capacity"
//                        1-16777215 (default 262144), "offsetBoundary" 0-23
//                        or 255, "stuckBit" {"offset", "bit", "value"}
//   "microcode"          WRITE BUFFER mode 7: "capacity" (default 8 MiB),
//                        "restartSeconds" 0-86400 (default 3), "neverReady",
//                        "revisionAfter" (text) or "revisionOffset",
//                        "rejectImage" {senseKey, asc, ascq}, "failPiece"
//                        {"piece", "action": "sense" | "callFails", sense}
//   "logs"               log pages and SMART data: "pages" (codes from 02h,
//                        03h, 05h, 06h, 0Dh, 2Fh, 30h), "normalizedSmart",
//                        "errorCounters" {"write"|"read"|"verify"|"nonMedium":
//                        {"0xCODE": value}}, "temperature", "tripTemperature",
//                        "smartTrip" (ASCQ of ASC 5Dh), "ppc" ("supported",
//                        "rejected", "ignored"), "attributes" [{"code",
//                        "normalized", "worst", "threshold", "data"} or
//                        {"code", "value"}]
//   "modePages"          MODE SENSE / MODE SELECT: "pages" (codes 0-62, the
//                        drive's order; default 01h 02h 03h 04h 07h 08h 0Ah
//                        0Ch 10h 1Ah 1Ch 00h), "saveable" (default true),
//                        "values" {"0xCODE": {"current", "changeable",
//                        "default", "saved": hex pairs from page byte 2 on}}
//   "unreadableBlocks"   LBAs READ (10) cannot recover (MEDIUM ERROR 03h/11h/00h,
//                        the LBA in the information field); writing one
//                        reassigns it
//   "mediaRate"          1-2^40 bytes per second READ and WRITE AND VERIFY
//                        move; default no limit
//   "latencyMicroseconds" 0-10000000: added to each READ and WRITE AND VERIFY
//   "defects"            READ DEFECT DATA (10): {"primary": [[cylinder, head,
//                        sector], ...], "grown": [...]}, inside "geometry"
//                        (which they need), at most 8000 in all
//
// FAULT:
//   "action"             "sense" (default), "callFails", "hang", "status",
//                        "recovered" or "shortTransfer"
//   "opcode"             0-255 or text "0x28": only this command; default any
//   "senseKey"           0-15, required for "sense"
//   "asc", "ascq"        0-255 ("asc" required for "sense", "ascq" default 0;
//                        "recovered": default 17h/01h)
//   "status"             "status": 0x08, 0x18 or 0x28 (required)
//   "bytes"              "shortTransfer" (required), "recovered": data-in
//                        bytes that arrive
//   "seconds"            "hang": the drive answers after this long
//   "times"              1-4294967295: act only the first so many times
//   "afterCommands"      0-2^63: act only once the drive has received this
//                        many commands (of any kind)
// Byte-sized fields also take hexadecimal text ("0x24"). Unknown fields are
// errors, so a misspelt option is never silently ignored.

// Drives are numbered 0 to 999 ("\\.\physicaldrive999" at most).
inline constexpr uint32_t kBenchMaxDriveNumber = 999;
inline constexpr size_t kBenchMaxFileSize = 16 * 1024 * 1024;
inline constexpr size_t kBenchMaxDepth = 32;

// Reads a bench from JSON text. On failure returns false with a message
// "SOURCE:LINE: what is wrong" in error.
bool LoadBench(std::string_view text, const std::string& sourceName, Bench& bench, std::string& error);

// Reads a bench file; messages name it as given.
bool LoadBenchFile(const std::string& path, Bench& bench, std::string& error);
