// READ CAPACITY (10) and (16) (SBC-3).
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"
#include "sim/sim_opcodes.h"

namespace {

constexpr size_t kReadCapacity10Length = 8;
constexpr size_t kReadCapacity16Length = 32;

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
    StoreBe32(data.data(), static_cast<uint32_t>(lastLba >= 0xFFFFFFFFull ? 0xFFFFFFFFull : lastLba));
    StoreBe32(data.data() + 4, config_.blockLength);
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
    StoreBe64(data.data(), lastLba);
    StoreBe32(data.data() + 8, config_.blockLength);
    command.SendData(data, allocationLength);
}
