#pragma once

#include <cstddef>
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
//
// FAULT:
//   "action"             "sense" (default), "callFails" or "hang"
//   "opcode"             0-255 or text "0x28": only this command; default any
//   "senseKey"           0-15, required for "sense"
//   "asc", "ascq"        0-255 ("asc" required for "sense", "ascq" default 0)
//   "times"              1-4294967295: act only the first so many times
//   "afterCommands"      0-2^63: act only once the drive has received this
//                        many commands (of any kind)
// Byte-sized fields also take hexadecimal text ("0x24"). Unknown fields are
// errors, so a misspelt option is never silently ignored.

inline constexpr size_t kBenchMaxFileSize = 16 * 1024 * 1024;
inline constexpr size_t kBenchMaxDepth = 32;

// Reads a bench from JSON text. On failure returns false with a message
// "SOURCE:LINE: what is wrong" in error.
bool LoadBench(std::string_view text, const std::string& sourceName, Bench& bench, std::string& error);

// Reads a bench file; messages name it as given.
bool LoadBenchFile(const std::string& path, Bench& bench, std::string& error);
