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
      "version": 3,
      "capabilities": { "wbus16": true, "sync": true, "cmdQue": true, "addr16": true },
      "blocks": 35843670, "blockLength": 512
    },
    {
      "bus": 0, "targetId": 1,
      "vendor": "MORVANE", "product": "MVX-36LW", "revision": "0412", "serial": "3KB11090",
      "version": 3,
      "capabilities": { "wbus16": true, "sync": true, "linked": true, "cmdQue": true, "addr16": true },
      "blocks": 71687370, "blockLength": 512
    },
    {
      "bus": 0, "targetId": 3,
      "vendor": "MORVANE", "product": "MVX-73LC", "revision": "0507", "serial": "3KC20735",
      "version": 3,
      "capabilities": { "wbus16": true, "sync": true, "linked": true, "cmdQue": true, "addr16": true },
      "blocks": 143374738, "blockLength": 512
    },
    {
      "bus": 1, "targetId": 0,
      "vendor": "VELDRAKE", "product": "VD-9100 ULTRA", "revision": "B22", "serial": "V71C0388",
      "version": 2,
      "capabilities": { "wbus16": true, "sync": true, "cmdQue": true, "sftRe": true, "aerc": true, "addr16": true },
      "blocks": 17783240, "blockLength": 512
    },
    {
      "bus": 1, "targetId": 2,
      "vendor": "MORVANE", "product": "MVN-300K4", "revision": "1103", "serial": "4NA00521",
      "version": 5,
      "capabilities": { "cmdQue": true },
      "blocks": 73242187, "blockLength": 4096
    },
    {
      "bus": 1, "targetId": 4,
      "vendor": "MORVANE", "product": "MVE-4000SAS", "revision": "2A07", "serial": "5EZ10046",
      "version": 6,
      "capabilities": { "cmdQue": true },
      "blocks": 7814037168, "blockLength": 512
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
