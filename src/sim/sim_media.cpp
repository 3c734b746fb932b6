// Medium access: READ, WRITE AND VERIFY and VERIFY, (10) and (16) (SBC-3),
// with the medium's unreadable blocks, its transfer rate and command latency.
#include <algorithm>
#include <cstring>

#include "sim/sim_disk.h"
#include "sim/sim_media_pacer.h"

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
constexpr uint64_t kReadAheadBytes = 4 * 1024 * 1024;

SimMediaPacer& RealTime()
{
    static SteadyMediaPacer pacer;
    return pacer;
}

// MEDIUM ERROR, UNRECOVERED READ ERROR, with the block that could not be
// read in the information field (SBC-3).
SimSense UnrecoveredReadError(uint64_t lba)
{
    SimSense sense = MakeSense(kSenseKeyMediumError, 0x11, 0x00);
    sense.informationValid = true;
    sense.information = lba;
    return sense;
}

}  // namespace

bool SimDisk::CheckRange(SimCommand& command, uint64_t lba, uint64_t blocks)
{
    if (lba >= medium_.Blocks() || blocks > medium_.Blocks() - lba) {
        command.Fail(LbaOutOfRange());
        return false;
    }
    return true;
}

void SimDisk::MarkUnreadable(uint64_t lba)
{
    std::lock_guard lock(mutex_);
    unreadable_.insert(lba);
}

void SimDisk::SetMediaPacer(SimMediaPacer* pacer)
{
    std::lock_guard lock(mutex_);
    mediaPacer_ = pacer;
    mediaBusyUntil_ = 0;
}

// The drive serves one command at a time (the caller holds the lock), and a
// command leaves the medium when the one before has and its own transfer is
// done. Deadlines add up rather than each sleep starting anew, and the medium
// keeps moving for up to a read-ahead buffer's worth of time while the host
// is between commands, so a scan holds the rate however late the host's
// thread wakes; idle time beyond that is lost, as on a drive.
void SimDisk::PaceMedia(uint64_t bytes)
{
    const SimMediaConfig& media = config_.media;
    if (media.mediaRate == 0 && media.latencyMicroseconds == 0) return;
    SimMediaPacer& pacer = mediaPacer_ ? *mediaPacer_ : RealTime();
    int64_t cost = int64_t{media.latencyMicroseconds} * 1000;
    int64_t readAhead = 0;
    if (media.mediaRate > 0) {
        cost += static_cast<int64_t>(static_cast<long double>(bytes) * kNanosecondsPerSecond / media.mediaRate);
        readAhead = static_cast<int64_t>(static_cast<long double>(kReadAheadBytes) * kNanosecondsPerSecond /
                                         media.mediaRate);
    }
    const int64_t now = pacer.NowNanoseconds();
    // The first command finds the medium idle; it has read nothing ahead yet.
    if (mediaBusyUntil_ == 0) mediaBusyUntil_ = now;
    const int64_t start = std::max(now - readAhead, mediaBusyUntil_);
    mediaBusyUntil_ = start + cost;
    pacer.SleepUntilNanoseconds(mediaBusyUntil_);
}

// No protection information on this medium: RDPROTECT, WRPROTECT and
// VRPROTECT (byte 1 bits 7-5 of every media command) must be zero.
bool SimDisk::CheckNoProtection(SimCommand& command)
{
    if (command.Byte(1) >> 5) {
        command.Fail(InvalidFieldInCdb(1, 7));
        return false;
    }
    return true;
}

void SimDisk::Read10(SimCommand& command) { ReadBlocks(command, command.Be32(2), command.Be16(7)); }

void SimDisk::Read16(SimCommand& command) { ReadBlocks(command, command.Be64(2), command.Be32(10)); }

void SimDisk::WriteAndVerify10(SimCommand& command)
{
    WriteAndVerifyBlocks(command, command.Be32(2), command.Be16(7));
}

void SimDisk::WriteAndVerify16(SimCommand& command)
{
    WriteAndVerifyBlocks(command, command.Be64(2), command.Be32(10));
}

void SimDisk::Verify10(SimCommand& command) { VerifyBlocks(command, command.Be32(2), command.Be16(7)); }

void SimDisk::Verify16(SimCommand& command) { VerifyBlocks(command, command.Be64(2), command.Be32(10)); }

void SimDisk::ReadBlocks(SimCommand& command, uint64_t lba, uint32_t blocks)
{
    if (!CheckNoProtection(command) || !CheckRange(command, lba, blocks)) return;

    const uint32_t blockLength = medium_.BlockLength();
    const auto bad = unreadable_.lower_bound(lba);
    const bool fails = bad != unreadable_.end() && *bad < lba + blocks;
    // Blocks before an unreadable one reach the buffer before the drive gives up.
    const uint64_t good = fails ? *bad - lba : blocks;
    const size_t count = command.ReserveDataIn(good * blockLength);
    if (command.CallFailed()) return;
    medium_.Read(lba, command.InBuffer(), count);
    PaceMedia(good * blockLength);
    if (fails) {
        command.Fail(UnrecoveredReadError(*bad));
        return;
    }
    command.CommitDataIn(count);
}

void SimDisk::WriteAndVerifyBlocks(SimCommand& command, uint64_t lba, uint32_t blocks)
{
    if (!CheckNoProtection(command)) return;
    const bool byteCheck = command.Bit(1, 1);
    if (!CheckRange(command, lba, blocks)) return;
    if (blocks == 0) return;

    const uint32_t blockLength = medium_.BlockLength();
    const uint8_t* data = command.ReceiveData(uint64_t{blocks} * blockLength);
    if (!data) return;
    medium_.Write(lba, blocks, data);
    // A block that could not be read is reassigned when written, as drives
    // with automatic write reallocation do.
    unreadable_.erase(unreadable_.lower_bound(lba), unreadable_.lower_bound(lba + blocks));
    PaceMedia(uint64_t{blocks} * blockLength);

    // Without BYTCHK the verify checks only that the blocks read back,
    // which they always do here.
    if (byteCheck) CompareBlocks(command, lba, blocks, data);
}

// VERIFY (SBC-3): BYTCHK 00b checks that the blocks can be read, 01b also
// compares them with the data-out buffer. 11b (one block against each) is
// optional and this drive, like many, does not offer it.
void SimDisk::VerifyBlocks(SimCommand& command, uint64_t lba, uint32_t blocks)
{
    if (!CheckNoProtection(command)) return;
    const uint8_t byteCheck = (command.Byte(1) >> 1) & 0x03;
    if (byteCheck > 1) {
        command.Fail(InvalidFieldInCdb(1, 2));
        return;
    }
    if (!CheckRange(command, lba, blocks)) return;
    if (blocks == 0) return;

    const uint32_t blockLength = medium_.BlockLength();
    const uint8_t* data = nullptr;
    if (byteCheck == 1 && !(data = command.ReceiveData(uint64_t{blocks} * blockLength))) return;
    const auto bad = unreadable_.lower_bound(lba);
    const bool fails = bad != unreadable_.end() && *bad < lba + blocks;
    const uint64_t good = fails ? *bad - lba : blocks;
    PaceMedia(good * blockLength);
    if (data && !CompareBlocks(command, lba, static_cast<uint32_t>(good), data)) return;
    if (fails) command.Fail(UnrecoveredReadError(*bad));
}

// Byte compare of blocks on the medium with the data-out buffer; on a
// difference the command ends in MISCOMPARE with, in INFORMATION, the offset
// in the data-out buffer of the first byte that did not compare equal
// (SBC-4).
bool SimDisk::CompareBlocks(SimCommand& command, uint64_t lba, uint32_t blocks, const uint8_t* data)
{
    const uint32_t blockLength = medium_.BlockLength();
    std::vector<uint8_t> readBack(blockLength);
    for (uint32_t i = 0; i < blocks; ++i) {
        medium_.Read(lba + i, readBack.data(), blockLength);
        const uint8_t* sent = data + uint64_t{i} * blockLength;
        if (std::memcmp(readBack.data(), sent, blockLength) == 0) continue;
        uint32_t offset = 0;
        while (readBack[offset] == sent[offset]) ++offset;
        SimSense sense = MakeSense(kSenseKeyMiscompare, 0x1D, 0x00);
        sense.informationValid = true;
        sense.information = uint64_t{i} * blockLength + offset;
        command.Fail(sense);
        return false;
    }
    return true;
}
