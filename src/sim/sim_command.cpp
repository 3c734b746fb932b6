#include "sim/sim_command.h"

#include "scsi/byte_order.h"

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

uint64_t SimCommand::Field(size_t index, size_t bytes) const
{
    // Byte() reads zero past the CDB, so a field may run off its end.
    uint8_t field[8] = {};
    for (size_t i = 0; i < bytes && i < sizeof field; ++i) field[i] = Byte(index + i);
    return LoadBigEndian(field, bytes);
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
    const uint64_t fits = std::min<uint64_t>(wanted, bufferLength_);
    if (fits > dataInLimit_) dataInCut_ = true;
    return static_cast<size_t>(std::min<uint64_t>(fits, dataInLimit_));
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
