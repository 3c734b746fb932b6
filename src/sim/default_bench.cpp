#include "sim/default_bench.h"

namespace {

// Drive numbers follow the device order, which is the adapter list's order
// (bus 0 first), so discovery places every drive on its own bus and id.
constexpr std::string_view kDefaultBench = R"json({
  "buses": 2,
  "adapter": {
    "maximumTransferLength": 65536,
    "maximumPhysicalPages": 17,
    "supportedAsynchronousEvents": 0,
    "alignmentMask": 3,
    "taggedQueuing": true,
    "adapterScansDown": false,
    "adapterUsesPio": false
  },
  "devices": [
    {
      "bus": 0, "targetId": 0,
      "vendor": "MORVANE", "product": "MVX-18LW", "revision": "0412", "serial": "3KA04417",
      "microcode": { "revisionAfter": "0415" },
      "selfTest": { "shortSeconds": 20, "extendedSeconds": 60, "powerOnHours": 12873,
                    "history": [ { "test": "short", "result": 0, "powerOnHours": 12870 },
                                 { "test": "extended", "result": 0, "powerOnHours": 12790 },
                                 { "test": "short", "result": 1, "powerOnHours": 12611 } ] },
      "geometry": { "cylinders": 22403, "heads": 4, "sectorsPerTrack": 400 },
      "version": 3,
      "capabilities": { "wbus16": true, "sync": true, "cmdQue": true, "addr16": true },
      "blocks": 35843670, "blockLength": 512,
      "logs": {
        "pages": ["0x02", "0x03", "0x05", "0x06", "0x0D", "0x2F", "0x30"], "temperature": 34,
        "errorCounters": { "read": { "0x0001": 12, "0x0003": 12, "0x0005": 18351046656 } }
      }
    },
    {
      "bus": 0, "targetId": 1,
      "vendor": "MORVANE", "product": "MVX-36LW", "revision": "0412", "serial": "3KB11090",
      "microcode": { "revisionAfter": "0415" },
      "selfTest": { "shortSeconds": 30, "extendedSeconds": 90, "powerOnHours": 20331,
                    "failure": { "result": 7, "lba": "0x12345", "senseKey": 3, "asc": "0x11", "ascq": 0,
                                 "atPercent": 60 },
                    "history": [ { "test": "short", "result": 7, "powerOnHours": 20310, "lba": "0x12345",
                                   "senseKey": 3, "asc": "0x11" },
                                 { "test": "extended", "result": 2, "powerOnHours": 20102 },
                                 { "test": "short", "result": 0, "powerOnHours": 19877 } ] },
      "geometry": { "cylinders": 22403, "heads": 8, "sectorsPerTrack": 400 },
      "version": 3,
      "capabilities": { "wbus16": true, "sync": true, "linked": true, "cmdQue": true, "addr16": true },
      "blocks": 71687370, "blockLength": 512,
      "logs": {
        "pages": ["0x02", "0x03", "0x05", "0x06", "0x0D", "0x2F", "0x30"], "temperature": 51,
        "attributes": [
          { "code": "0x0004", "normalized": 2, "worst": 2, "threshold": 1, "data": "00 00 00 00 00 00 00 07 d2" },
          { "code": "0x0032", "normalized": 12, "worst": 9, "threshold": 6, "data": "00 00 00 00 00 00 00 00 01" },
          { "code": "0x0037", "normalized": 100, "worst": 100, "threshold": 50 },
          { "code": "0x0043", "normalized": 97, "worst": 95, "threshold": 30 },
          { "code": "0x005B", "normalized": 100, "worst": 100, "threshold": 24 },
          { "code": "0x0117", "normalized": 58, "worst": 51, "threshold": 45,
            "data": "00 01 fe 02 26 00 00 f4 24 00 d2 00 00 00 3c" },
          { "code": "0x0145", "normalized": 88, "worst": 85, "threshold": 10, "data": "00 00 2b 00 02 01 1a" }
        ]
      }
    },
    {
      "bus": 0, "targetId": 3,
      "vendor": "MORVANE", "product": "MVX-73LC", "revision": "0507", "serial": "3KC20735",
      "microcode": { "revisionAfter": "0510" },
      "selfTest": { "shortSeconds": 25, "extendedSeconds": 80, "powerOnHours": 8120,
                    "history": [ { "test": "short", "result": 0 },
                                 { "test": "foregroundShort", "result": 0, "powerOnHours": 8001 } ] },
      "geometry": { "cylinders": 29870, "heads": 8, "sectorsPerTrack": 600 },
      "version": 3,
      "capabilities": { "wbus16": true, "sync": true, "linked": true, "cmdQue": true, "addr16": true },
      "blocks": 143374738, "blockLength": 512,
      "logs": { "pages": ["0x02", "0x03", "0x05", "0x06", "0x0D", "0x2F", "0x30"], "temperature": 37 },
      "mediaRate": 160000000, "latencyMicroseconds": 150,
      "defects": {
        "primary": [[12, 0, 17], [340, 3, 512], [1022, 7, 0], [4810, 2, 299], [9975, 6, 440], [21034, 1, 88]],
        "grown": [[150, 5, 233], [7702, 4, 19]]
      },
      "unreadableBlocks": [36972019]
    },
    {
      "bus": 1, "targetId": 0,
      "vendor": "VELDRAKE", "product": "VD-9100 ULTRA", "revision": "B22", "serial": "V71C0388",
      "selfTest": { "shortSeconds": 35, "extendedSeconds": 100, "powerOnHours": 31544, "refuse": ["extended"],
                    "history": [ { "test": "short", "result": 0 },
                                 { "test": "default", "result": 0, "powerOnHours": 31200 } ] },
      "geometry": { "cylinders": 9880, "heads": 6, "sectorsPerTrack": 300 },
      "microcode": { "rejectImage": { "senseKey": 5, "asc": "0x26", "ascq": 0 } },
      "modePages": { "pages": ["0x01", "0x02", "0x08", "0x0A", "0x0D", "0x1C"] },
      "version": 2,
      "capabilities": { "wbus16": true, "sync": true, "cmdQue": true, "sftRe": true, "aerc": true, "addr16": true },
      "blocks": 17783240, "blockLength": 512
    },
    {
      "bus": 1, "targetId": 2,
      "vendor": "MORVANE", "product": "MVN-300K4", "revision": "1103", "serial": "4NA00521",
      "microcode": { "revisionAfter": "1104" },
      "selfTest": { "shortSeconds": 20, "extendedSeconds": 70, "powerOnHours": 4410,
                    "history": [ { "test": "extended", "result": 0, "powerOnHours": 4390 },
                                 { "test": "foregroundExtended", "result": 0, "powerOnHours": 3420 },
                                 { "test": "short", "result": 5, "powerOnHours": 3002, "senseKey": 4, "asc": "0x40",
                                   "ascq": "0x81" } ] },
      "geometry": { "cylinders": 91553, "heads": 4, "sectorsPerTrack": 200 },
      "version": 5,
      "capabilities": { "cmdQue": true },
      "blocks": 73242187, "blockLength": 4096,
      "logs": { "pages": ["0x02", "0x03", "0x05", "0x06", "0x0D", "0x2F", "0x30"], "temperature": 40 }
    },
    {
      "bus": 1, "targetId": 4,
      "vendor": "MORVANE", "product": "MVE-4000SAS", "revision": "2A07",
      "serial": "5EZ10046Q7K2M0R4T8W1", "serialInInquiry": false,
      "microcode": { "restartSeconds": 6, "revisionAfter": "2A09" },
      "selfTest": { "shortSeconds": 30, "extendedSeconds": 120, "powerOnHours": 910,
                    "history": [ { "test": "short", "result": 0, "powerOnHours": 909 } ] },
      "geometry": { "cylinders": 976755, "heads": 8, "sectorsPerTrack": 1000 },
      "version": 6,
      "capabilities": { "cmdQue": true },
      "blocks": 7814037168, "blockLength": 512,
      "logs": { "pages": ["0x02", "0x03", "0x05", "0x06", "0x0D", "0x2F", "0x30"], "temperature": 42 }
    },
    {
      "bus": 1, "targetId": 6,
      "vendor": "LUMERIC", "product": "CDR-3240S", "revision": "1.10", "serial": "LC902144",
      "deviceType": 5, "removable": true, "version": 2,
      "capabilities": { "sync": true },
      "blocks": 333000, "blockLength": 2048
    }
  ]
}
)json";

}  // namespace

std::string_view DefaultBenchJson()
{
    return kDefaultBench;
}
