// Medium access: READ (10) and WRITE AND VERIFY (10) (SBC-3).
#include <cstring>

#include "sim/sim_disk.h"

bool SimDisk::CheckRange(SimCommand& command, uint64_t lba, uint64_t blocks)
{
    if (lba >= medium_.Blocks() || blocks > medium_.Blocks() - lba) {
        command.Fail(LbaOutOfRange());
        return false;
    }
    return true;
}

void SimDisk::Read10(SimCommand& command)
{
    // No protection information on this medium: RDPROTECT must be zero.
    if (command.Byte(1) >> 5) {
        command.Fail(InvalidFieldInCdb(1, 7));
        return;
    }
    const uint32_t lba = command.Be32(2);
    const uint16_t blocks = command.Be16(7);
    if (!CheckRange(command, lba, blocks)) return;

    const size_t count = command.ReserveDataIn(uint64_t{blocks} * medium_.BlockLength());
    if (command.CallFailed()) return;
    medium_.Read(lba, command.InBuffer(), count);
    command.CommitDataIn(count);
}

void SimDisk::WriteAndVerify10(SimCommand& command)
{
    if (command.Byte(1) >> 5) {
        command.Fail(InvalidFieldInCdb(1, 7));
        return;
    }
    const bool byteCheck = command.Bit(1, 1);
    const uint32_t lba = command.Be32(2);
    const uint16_t blocks = command.Be16(7);
    if (!CheckRange(command, lba, blocks)) return;
    if (blocks == 0) return;

    const uint32_t blockLength = medium_.BlockLength();
    const uint8_t* data = command.ReceiveData(uint64_t{blocks} * blockLength);
    if (!data) return;
    medium_.Write(lba, blocks, data);

    // Without BYTCHK the verify checks only that the blocks read back,
    // which they always do here.
    if (!byteCheck) return;
    std::vector<uint8_t> readBack(blockLength);
    for (uint32_t i = 0; i < blocks; ++i) {
        medium_.Read(lba + i, readBack.data(), blockLength);
        const uint8_t* sent = data + uint64_t{i} * blockLength;
        if (std::memcmp(readBack.data(), sent, blockLength) == 0) continue;
        uint32_t offset = 0;
        while (readBack[offset] == sent[offset]) ++offset;
        // INFORMATION: offset in the data-out buffer of the first byte
        // that did not compare equal, as SBC-4 reports a byte-compare miscompare.
        SimSense sense = MakeSense(kSenseKeyMiscompare, 0x1D, 0x00);
        sense.informationValid = true;
        sense.information = uint64_t{i} * blockLength + offset;
        command.Fail(sense);
        return;
    }
}
