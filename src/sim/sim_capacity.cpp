// READ CAPACITY (10) and (16) (SBC-3).
#include "sim/sim_disk.h"
#include "sim/sim_opcodes.h"

namespace {

constexpr size_t kReadCapacity10Length = 8;
constexpr size_t kReadCapacity16Length = 32;

void PutBe(std::vector<uint8_t>& data, size_t offset, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) data[offset + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

// Without PMI the address must be zero. With PMI the answer is the last
// block before a substantial delay at or after the address; this medium has
// no such boundary, so that is the last block.
bool AddressAccepted(SimCommand& command, uint64_t lba, bool pmi, uint64_t lastLba)
{
    if (!pmi && lba != 0) {
        command.Fail(InvalidFieldInCdb(2));
        return false;
    }
    if (pmi && lba > lastLba) {
        command.Fail(LbaOutOfRange());
        return false;
    }
    return true;
}

}  // namespace

void SimDisk::ReadCapacity10(SimCommand& command)
{
    const uint32_t lba = command.Be32(2);
    const bool pmi = command.Bit(8, 0);
    const uint64_t lastLba = config_.blocks - 1;
    if (!AddressAccepted(command, lba, pmi, lastLba)) return;
    std::vector<uint8_t> data(kReadCapacity10Length, 0);
    // A last block beyond 32 bits reads FFFFFFFFh: READ CAPACITY (16) tells.
    PutBe(data, 0, lastLba >= 0xFFFFFFFFull ? 0xFFFFFFFFull : lastLba, 4);
    PutBe(data, 4, config_.blockLength, 4);
    command.SendData(data, kReadCapacity10Length);
}

void SimDisk::ServiceActionIn16(SimCommand& command)
{
    switch (command.Byte(1) & 0x1F) {
    case kSaReadCapacity16: ReadCapacity16(command); return;
    default: command.Fail(InvalidFieldInCdb(1, 4)); return;
    }
}

void SimDisk::ReadCapacity16(SimCommand& command)
{
    const uint64_t lba = command.Be64(2);
    const uint32_t allocationLength = command.Be32(10);
    const bool pmi = command.Bit(14, 0);
    const uint64_t lastLba = config_.blocks - 1;
    if (!AddressAccepted(command, lba, pmi, lastLba)) return;
    // Bytes 12-15 (protection, physical block exponent, provisioning,
    // lowest aligned block) stay zero: one logical block per physical
    // block, no protection information, fully provisioned.
    std::vector<uint8_t> data(kReadCapacity16Length, 0);
    PutBe(data, 0, lastLba, 8);
    PutBe(data, 8, config_.blockLength, 4);
    command.SendData(data, allocationLength);
}
