#include "sim/sparse_medium.h"

#include <algorithm>
#include <cstring>

SparseMedium::SparseMedium(uint64_t blocks, uint32_t blockLength) : blocks_(blocks), blockLength_(blockLength) {}

void SparseMedium::Read(uint64_t lba, uint8_t* out, uint64_t size) const
{
    while (size > 0 && lba < blocks_) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, blockLength_));
        const auto found = stored_.find(lba);
        if (found == stored_.end())
            std::memset(out, 0, chunk);
        else
            std::memcpy(out, found->second.data(), chunk);
        out += chunk;
        size -= chunk;
        ++lba;
    }
}

void SparseMedium::Write(uint64_t lba, uint32_t count, const uint8_t* data)
{
    for (uint32_t i = 0; i < count && lba < blocks_; ++i, ++lba, data += blockLength_) {
        if (unwritable_.count(lba)) continue;
        const bool allZero = std::all_of(data, data + blockLength_, [](uint8_t b) { return b == 0; });
        if (allZero)
            stored_.erase(lba);
        else
            stored_[lba].assign(data, data + blockLength_);
    }
}
