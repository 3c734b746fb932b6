// READ BUFFER and WRITE BUFFER (SPC-4): the data buffer in data mode (02h)
// and descriptor mode (03h), and microcode download with offsets, save and
// activate (mode 07h), after which the drive restarts.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/clock.h"
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"

namespace {

constexpr uint8_t kModeData = 0x02;
constexpr uint8_t kModeDescriptor = 0x03;
constexpr uint8_t kModeDownloadSave = 0x07;
constexpr uint8_t kDataBufferId = 0x00;
constexpr uint8_t kOffsetZeroOnly = 0xFF;
constexpr size_t kDescriptorLength = 4;

// Both CDBs: mode in byte 1 (bits 4-0, the mode-specific bits 7-5 are
// reserved in the modes served here), buffer id in byte 2, buffer offset in
// bytes 3-5, length in bytes 6-8.
constexpr size_t kModeByte = 1;
constexpr size_t kBufferIdByte = 2;
constexpr size_t kOffsetByte = 3;
constexpr size_t kLengthByte = 6;

SimSense ToSense(const SimBufferSense& sense)
{
    return MakeSense(sense.senseKey, sense.asc, sense.ascq);
}

bool ModeSpecificBitsSet(const SimCommand& command)
{
    return (command.Byte(kModeByte) & 0xE0) != 0;
}

}  // namespace

bool SimDisk::CheckBufferOffset(SimCommand& command, uint32_t offset) const
{
    const uint8_t boundary = config_.buffer.offsetBoundary;
    bool aligned = offset == 0;
    if (boundary != kOffsetZeroOnly && boundary < 32) aligned = (offset & ((uint32_t{1} << boundary) - 1)) == 0;
    if (!aligned || offset > config_.buffer.capacity) {
        command.Fail(InvalidFieldInCdb(kOffsetByte));
        return false;
    }
    return true;
}

void SimDisk::ReadBuffer(SimCommand& command)
{
    if (ModeSpecificBitsSet(command)) {
        command.Fail(InvalidFieldInCdb(kModeByte, 7));
        return;
    }
    const uint8_t mode = command.Byte(kModeByte) & 0x1F;
    const uint8_t bufferId = command.Byte(kBufferIdByte);
    const uint32_t offset = command.Be24(kOffsetByte);
    const uint32_t allocationLength = command.Be24(kLengthByte);
    const SimBufferConfig& buffer = config_.buffer;

    if (mode == kModeDescriptor) {
        // A buffer the drive does not have is described with zeros.
        uint8_t descriptor[kDescriptorLength] = {};
        if (bufferId == kDataBufferId) {
            const uint32_t capacity = std::min(buffer.capacity, kSimMaxBufferCapacity);
            descriptor[0] = buffer.offsetBoundary;
            StoreBe24(descriptor + 1, capacity);
        }
        command.SendData(descriptor, sizeof descriptor, allocationLength);
        return;
    }
    if (mode != kModeData) {
        command.Fail(InvalidFieldInCdb(kModeByte, 4));
        return;
    }
    if (bufferId != kDataBufferId) {
        command.Fail(InvalidFieldInCdb(kBufferIdByte));
        return;
    }
    if (!CheckBufferOffset(command, offset)) return;

    // What lies past the end of the buffer is not there to send; a shorter
    // answer than the allocation length is no error.
    const uint64_t available = buffer.capacity - offset;
    const size_t count = command.ReserveDataIn(std::min<uint64_t>(allocationLength, available));
    if (command.CallFailed() || count == 0) return;
    uint8_t* out = command.InBuffer();
    if (dataBuffer_.empty()) {
        std::fill(out, out + count, uint8_t{0});
    } else {
        std::memcpy(out, dataBuffer_.data() + offset, count);
    }
    if (buffer.stuckOffset && *buffer.stuckOffset >= offset && *buffer.stuckOffset - offset < count) {
        uint8_t& byte = out[*buffer.stuckOffset - offset];
        const auto mask = static_cast<uint8_t>(1u << (buffer.stuckBit & 7));
        byte = buffer.stuckValue ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
    }
    command.CommitDataIn(count);
}

void SimDisk::WriteBuffer(SimCommand& command)
{
    if (ModeSpecificBitsSet(command)) {
        command.Fail(InvalidFieldInCdb(kModeByte, 7));
        return;
    }
    switch (command.Byte(kModeByte) & 0x1F) {
    case kModeData: WriteDataBuffer(command); return;
    case kModeDownloadSave: DownloadMicrocode(command); return;
    default: command.Fail(InvalidFieldInCdb(kModeByte, 4)); return;
    }
}

void SimDisk::WriteDataBuffer(SimCommand& command)
{
    if (command.Byte(kBufferIdByte) != kDataBufferId) {
        command.Fail(InvalidFieldInCdb(kBufferIdByte));
        return;
    }
    const uint32_t offset = command.Be24(kOffsetByte);
    const uint32_t length = command.Be24(kLengthByte);
    if (!CheckBufferOffset(command, offset)) return;
    if (length > config_.buffer.capacity - offset) {
        command.Fail(InvalidFieldInCdb(kLengthByte));
        return;
    }
    if (length == 0) return;
    const uint8_t* data = command.ReceiveData(length);
    if (!data) return;
    if (dataBuffer_.empty()) dataBuffer_.assign(config_.buffer.capacity, 0);
    std::memcpy(dataBuffer_.data() + offset, data, length);
}

void SimDisk::DownloadMicrocode(SimCommand& command)
{
    const SimBufferConfig& buffer = config_.buffer;
    const uint32_t offset = command.Be24(kOffsetByte);
    const uint32_t length = command.Be24(kLengthByte);
    const auto startOver = [this] {
        microcodePending_.clear();
        microcodePieces_ = 0;
    };
    if (command.Byte(kBufferIdByte) != kDataBufferId) {
        command.Fail(InvalidFieldInCdb(kBufferIdByte));
        return;
    }
    // An image starts at offset 0 and every piece follows on where the last
    // one ended; anything else leaves the drive waiting for a new start.
    if (offset == 0) startOver();
    if (offset != microcodePending_.size()) {
        startOver();
        command.Fail(InvalidFieldInCdb(kOffsetByte));
        return;
    }
    if (length > kSimMicrocodePieceSize || length > buffer.microcodeCapacity - microcodePending_.size()) {
        startOver();
        command.Fail(InvalidFieldInCdb(kLengthByte));
        return;
    }
    const uint8_t* data = length > 0 ? command.ReceiveData(length) : nullptr;
    if (length > 0 && !data) {
        startOver();
        return;
    }
    if (buffer.failPiece && *buffer.failPiece == microcodePieces_) {
        startOver();
        if (buffer.failPieceSense) {
            command.Fail(ToSense(*buffer.failPieceSense));
        } else {
            command.FailCall();
        }
        return;
    }
    if (length > 0) microcodePending_.insert(microcodePending_.end(), data, data + length);
    ++microcodePieces_;
    if (length == kSimMicrocodePieceSize) return;

    // The short (or empty) piece completes the image.
    const std::optional<std::string> revision = RevisionOfImage(microcodePending_);
    if (buffer.rejectImage || (buffer.revisionOffset && !revision)) {
        startOver();
        // An image without the revision where this drive looks for it is
        // not one of its images: INVALID FIELD IN PARAMETER LIST.
        command.Fail(buffer.rejectImage ? ToSense(*buffer.rejectImage) : MakeSense(kSenseKeyIllegalRequest, 0x26, 0x00));
        return;
    }
    microcodeImage_ = std::move(microcodePending_);
    startOver();
    ++microcodeImagesTaken_;
    if (revision) revision_ = *revision;
    RestartOnMicrocode();
}

std::optional<std::string> SimDisk::RevisionOfImage(const std::vector<uint8_t>& image) const
{
    const SimBufferConfig& buffer = config_.buffer;
    if (buffer.revisionAfter) return buffer.revisionAfter;
    if (!buffer.revisionOffset) return std::nullopt;
    const uint64_t offset = *buffer.revisionOffset;
    if (offset + kSimRevisionLength > image.size()) return std::nullopt;
    const auto first = image.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto last = first + static_cast<std::ptrdiff_t>(kSimRevisionLength);
    // INQUIRY's ASCII fields hold printable characters only (SPC-4 4.4.1).
    if (!std::all_of(first, last, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; })) return std::nullopt;
    return std::string(first, last);
}

void SimDisk::RestartOnMicrocode()
{
    // The drive restarts on the new microcode: the buffer and any unit
    // attention it held are gone; what it reports when it is back comes
    // from SettleRestart.
    dataBuffer_.clear();
    unitAttentions_.clear();
    restarting_ = true;
    restartEndsAt_ = RestartNow() + config_.buffer.restartSeconds;
}

int64_t SimDisk::RestartNow() const
{
    if (restartClock_) return restartClock_->Now();
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SimDisk::SettleRestart()
{
    if (!restarting_ || config_.buffer.neverReady || RestartNow() < restartEndsAt_) return;
    restarting_ = false;
    // Back on the new microcode: the reset first (SAM-5 gives it the highest
    // priority), then what changed (SPC-4, WRITE BUFFER download modes).
    unitAttentions_.push_back(MakeSense(kSenseKeyUnitAttention, 0x29, 0x00));
    unitAttentions_.push_back(MakeSense(kSenseKeyUnitAttention, 0x3F, 0x01));
}

std::optional<SimSense> SimDisk::RestartCondition() const
{
    if (!restarting_) return std::nullopt;
    if (config_.buffer.neverReady) return MakeSense(kSenseKeyNotReady, 0x04, 0x03);  // manual intervention required
    return MakeSense(kSenseKeyNotReady, 0x04, 0x01);  // in process of becoming ready
}

void SimDisk::SetRestartClock(Clock* clock)
{
    std::lock_guard lock(mutex_);
    restartClock_ = clock;
}

bool SimDisk::Restarting() const
{
    std::lock_guard lock(mutex_);
    return restarting_;
}

std::vector<uint8_t> SimDisk::MicrocodeImage() const
{
    std::lock_guard lock(mutex_);
    return microcodeImage_;
}

uint32_t SimDisk::MicrocodeImagesTaken() const
{
    std::lock_guard lock(mutex_);
    return microcodeImagesTaken_;
}
