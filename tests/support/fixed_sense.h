#pragma once

#include <cstdint>
#include <vector>

// Fixed-format sense with a key, ASC and ASCQ, as a drive returns it.
inline std::vector<uint8_t> FixedSense(uint8_t key, uint8_t asc, uint8_t ascq = 0)
{
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}
