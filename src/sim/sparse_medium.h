#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// A drive's logical blocks where only blocks holding something other than
// zeros use memory, so a multi-terabyte drive costs nothing until written.
class SparseMedium {
public:
    SparseMedium(uint64_t blocks, uint32_t blockLength);

    uint64_t Blocks() const { return blocks_; }
    uint32_t BlockLength() const { return blockLength_; }

    // Copies `size` bytes starting at block lba (size may end inside a
    // block). Blocks never written read as zeros. The range must lie on the
    // medium.
    void Read(uint64_t lba, uint8_t* out, uint64_t size) const;
    // Writes whole blocks; a block marked unwritable keeps its old data.
    void Write(uint64_t lba, uint32_t count, const uint8_t* data);

    // A worn spot that no longer takes new data: writes to it are lost
    // silently, which only a verify with byte compare notices.
    void MarkUnwritable(uint64_t lba) { unwritable_.insert(lba); }

    // Blocks that hold data other than zeros.
    size_t StoredBlocks() const { return stored_.size(); }

private:
    uint64_t blocks_;
    uint32_t blockLength_;
    std::unordered_map<uint64_t, std::vector<uint8_t>> stored_;
    std::unordered_set<uint64_t> unwritable_;
};
