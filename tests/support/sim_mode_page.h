#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_disk.h"

// One mode page of a simulated drive, read and written straight on the
// drive the way a host that follows SPC-4 does (DBD, PF set, the reserved
// header bytes and PS zero).
namespace simpage {

// The page's current values from its page code byte on; empty when the
// drive does not answer.
inline std::vector<uint8_t> Current(SimDisk& disk, uint8_t code)
{
    const uint8_t cdb[6] = {0x1A, 0x08, code, 0, 0xFF, 0};
    std::vector<uint8_t> data(255, 0);
    const SimResult result = disk.Execute(cdb, 6, SimDirection::In, data.data(), 255, 2);
    if (result.status != 0 || result.dataInLength < 6) return {};
    return {data.begin() + 4, data.begin() + result.dataInLength};
}

// Makes `page` (from its page code byte on) the current values; the status.
inline uint8_t Select(SimDisk& disk, const std::vector<uint8_t>& page)
{
    std::vector<uint8_t> list{0, 0, 0, 0};
    list.insert(list.end(), page.begin(), page.end());
    list[4] &= 0x3F;
    const uint8_t cdb[6] = {0x15, 0x10, 0, 0, static_cast<uint8_t>(list.size()), 0};
    return disk.Execute(cdb, 6, SimDirection::Out, list.data(), static_cast<uint32_t>(list.size()), 2).status;
}

// The current and saved values of every mode page, as MODE SENSE(6) of
// page 3Fh returns them.
inline std::vector<uint8_t> All(SimDisk& disk)
{
    std::vector<uint8_t> all;
    for (const uint8_t control : {0x00, 0x80}) {
        const uint8_t cdb[6] = {0x1A, 0x08, static_cast<uint8_t>(control | 0x3F), 0, 0xFF, 0};
        std::vector<uint8_t> data(255, 0);
        SimResult result;
        // Past a unit attention the drive has still to tell.
        for (int attempt = 0; attempt < 4; ++attempt) {
            result = disk.Execute(cdb, 6, SimDirection::In, data.data(), 255, 2);
            if (result.status == 0) break;
        }
        all.insert(all.end(), data.begin(), data.begin() + result.dataInLength);
    }
    return all;
}

}  // namespace simpage
