// Self-tests (SPC-4 SEND DIAGNOSTIC self-test codes) and their results log.
#include "sim/sim_disk.h"

std::vector<uint8_t> SimDisk::SelfTestResultsLogParameters() const
{
    // No self-test has been implemented on this drive model yet, so it
    // keeps no results log and does not list page 10h.
    return {};
}
