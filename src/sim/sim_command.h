#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/sim_sense.h"

inline constexpr size_t kSimMaxCdbLength = 16;

enum class SimDirection {
    In,   // from the target into the initiator's buffer
    Out,  // from the initiator's buffer to the target
};

// The target's answer to one command.
struct SimResult {
    bool callFailed = false;  // never completed: no status, no data, no sense
    uint8_t status = 0;
    uint32_t dataInLength = 0;   // bytes the target placed in the buffer
    uint32_t dataMoved = 0;      // bytes of the data phase that moved, either way
    std::vector<uint8_t> sense;  // after CHECK CONDITION, in the drive's format
};

// One command as a handler sees it: the CDB (zero-padded to 16 bytes) and
// the initiator's data buffer. Handlers either move data, or end the
// command with sense.
class SimCommand {
public:
    SimCommand(const uint8_t* cdb, size_t cdbLength, SimDirection direction, uint8_t* buffer, uint32_t bufferLength);

    uint8_t Opcode() const { return cdb_[0]; }
    uint8_t Byte(size_t index) const { return index < kSimMaxCdbLength ? cdb_[index] : 0; }
    bool Bit(size_t index, int bit) const { return (Byte(index) >> bit) & 1; }
    // The big-endian field of `bytes` bytes at index.
    uint64_t Field(size_t index, size_t bytes) const;
    uint16_t Be16(size_t index) const { return static_cast<uint16_t>(Field(index, 2)); }
    uint32_t Be24(size_t index) const { return static_cast<uint32_t>(Field(index, 3)); }
    uint32_t Be32(size_t index) const { return static_cast<uint32_t>(Field(index, 4)); }
    uint64_t Be64(size_t index) const { return Field(index, 8); }
    const uint8_t* Cdb() const { return cdb_; }
    size_t CdbLength() const { return cdbLength_; }

    // Data-in of `data`, cut to the allocation length and the initiator's
    // buffer (SPC-4: truncation by the allocation length is not an error).
    void SendData(const uint8_t* data, size_t size, uint64_t allocationLength);
    void SendData(const std::vector<uint8_t>& data, uint64_t allocationLength)
    {
        SendData(data.data(), data.size(), allocationLength);
    }
    // For large transfers written straight into the initiator's buffer:
    // how many of `wanted` bytes fit there (0 and a failed call when the
    // initiator gave a data-out buffer instead). Follow with
    // CommitDataIn(count) after writing through InBuffer().
    size_t ReserveDataIn(uint64_t wanted);
    uint8_t* InBuffer() { return buffer_; }
    void CommitDataIn(size_t count) { dataInLength_ = static_cast<uint32_t>(count); }

    // The `size` bytes of data-out the command needs, or null when the
    // initiator did not offer that many (the call then fails: the target
    // waits for data that never comes).
    const uint8_t* ReceiveData(uint64_t size);

    void Fail(const SimSense& sense) { sense_ = sense; }
    void FailCall() { callFailed_ = true; }
    // Ends the command with a status that carries no sense (BUSY and the like).
    void EndWithStatus(uint8_t status) { status_ = status; }
    // CHECK CONDITION after the data moved: the data-in stays delivered.
    void Recover(const SimSense& sense)
    {
        sense_ = sense;
        keepsData_ = true;
    }
    // At most `bytes` of the data-in phase reach the initiator's buffer, as
    // on a faulty path; bytes after them are left untouched.
    void LimitDataIn(uint32_t bytes) { dataInLimit_ = bytes; }
    // The handler produced more data-in than LimitDataIn let through.
    bool DataInCut() const { return dataInCut_; }

    bool CallFailed() const { return callFailed_; }
    const std::optional<SimSense>& Sense() const { return sense_; }
    bool KeepsData() const { return keepsData_; }
    uint8_t Status() const { return status_; }
    uint32_t DataInLength() const { return dataInLength_; }
    uint32_t DataOutLength() const { return dataOutLength_; }

private:
    uint8_t cdb_[kSimMaxCdbLength] = {};
    size_t cdbLength_ = 0;
    SimDirection direction_;
    uint8_t* buffer_;
    uint32_t bufferLength_;
    uint32_t dataInLength_ = 0;
    uint32_t dataOutLength_ = 0;
    uint32_t dataInLimit_ = UINT32_MAX;
    bool dataInCut_ = false;
    bool callFailed_ = false;
    bool keepsData_ = false;
    uint8_t status_ = 0;
    std::optional<SimSense> sense_;
};
