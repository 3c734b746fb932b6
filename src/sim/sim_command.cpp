#include "sim/sim_command.h"

#include <algorithm>
#include <cstring>

SimCommand::SimCommand(const uint8_t* cdb, size_t cdbLength, SimDirection direction, uint8_t* buffer,
                       uint32_t bufferLength)
    : cdbLength_(std::min(cdbLength, kSimMaxCdbLength)),
      direction_(direction),
      buffer_(buffer),
      bufferLength_(buffer ? bufferLength : 0)
{
    if (cdb) std::memcpy(cdb_, cdb, cdbLength_);
}

uint16_t SimCommand::Be16(size_t index) const
{
    return static_cast<uint16_t>((Byte(index) << 8) | Byte(index + 1));
}

uint32_t SimCommand::Be32(size_t index) const
{
    return (static_cast<uint32_t>(Be16(index)) << 16) | Be16(index + 2);
}

uint64_t SimCommand::Be64(size_t index) const
{
    return (static_cast<uint64_t>(Be32(index)) << 32) | Be32(index + 4);
}

size_t SimCommand::ReserveDataIn(uint64_t wanted)
{
    if (wanted == 0) return 0;
    if (direction_ != SimDirection::In) {
        // A data-in phase against a data-out buffer is a protocol error the
        // host adapter reports; with no buffer at all it is a plain underrun.
        if (bufferLength_ > 0) callFailed_ = true;
        return 0;
    }
    return static_cast<size_t>(std::min<uint64_t>(wanted, bufferLength_));
}

void SimCommand::SendData(const uint8_t* data, size_t size, uint64_t allocationLength)
{
    const size_t count = ReserveDataIn(std::min<uint64_t>(size, allocationLength));
    if (count > 0) std::memcpy(buffer_, data, count);
    dataInLength_ = static_cast<uint32_t>(count);
}

const uint8_t* SimCommand::ReceiveData(uint64_t size)
{
    if (size == 0) return buffer_;
    if (direction_ != SimDirection::Out || size > bufferLength_) {
        callFailed_ = true;
        return nullptr;
    }
    dataOutLength_ = std::max(dataOutLength_, static_cast<uint32_t>(size));
    return buffer_;
}
