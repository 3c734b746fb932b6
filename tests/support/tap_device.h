#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "support/command_gate.h"
#include "support/fixed_sense.h"
#include "support/forwarding_device.h"
#include "scsi/scsi_request.h"

// One command as a drive received it.
struct SeenCommand {
    std::vector<uint8_t> cdb;
    uint32_t transferLength = 0;
    uint8_t dataIn = 0;
    std::vector<uint8_t> dataOut;  // what was sent, for data-out commands
    uint8_t status = 0;
    bool delivered = true;
    uint8_t Opcode() const { return cdb.empty() ? 0 : cdb[0]; }
};

// Passes commands to a drive and keeps what went by. A hook may answer a
// command in the drive's place (return true) or act before it is passed on.
class TapDevice final : public ForwardingDevice {
public:
    using ForwardingDevice::ForwardingDevice;

    bool Execute(ScsiRequest& request) override
    {
        SeenCommand seen;
        seen.cdb.assign(request.Cdb, request.Cdb + request.CdbLength);
        seen.transferLength = request.DataTransferLength;
        seen.dataIn = request.DataIn;
        if (request.DataIn != kScsiDataIn && request.DataBuffer)
            seen.dataOut.assign(static_cast<uint8_t*>(request.DataBuffer),
                                static_cast<uint8_t*>(request.DataBuffer) + request.DataTransferLength);
        bool delivered = false;
        bool answered = false;
        if (hook) answered = hook(request, delivered);
        if (!answered) delivered = inner->Execute(request);
        seen.status = request.ScsiStatus;
        seen.delivered = delivered;
        {
            std::lock_guard lock(mutex);
            commands.push_back(std::move(seen));
        }
        return delivered;
    }

    std::vector<SeenCommand> Commands() const
    {
        std::lock_guard lock(mutex);
        return commands;
    }
    std::vector<SeenCommand> WithOpcode(uint8_t opcode) const
    {
        std::vector<SeenCommand> found;
        for (const SeenCommand& command : Commands())
            if (command.Opcode() == opcode) found.push_back(command);
        return found;
    }
    void Forget()
    {
        std::lock_guard lock(mutex);
        commands.clear();
    }

    std::function<bool(ScsiRequest&, bool& delivered)> hook;

private:
    mutable std::mutex mutex;
    std::vector<SeenCommand> commands;
};

// Ends a request as the drive would with CHECK CONDITION and this sense.
inline bool CheckCondition(ScsiRequest& request, bool& delivered, const std::vector<uint8_t>& sense)
{
    request.ScsiStatus = kStatusCheckCondition;
    std::memset(request.SenseData, 0, sizeof request.SenseData);
    std::memcpy(request.SenseData, sense.data(), std::min(sense.size(), sizeof request.SenseData));
    delivered = true;
    return true;
}

// Lets the gate hold the command it waits for on its way through the tap.
inline void Gated(TapDevice& tap, CommandGate& gate)
{
    tap.hook = [&gate](ScsiRequest& request, bool&) {
        gate.Pass(request);
        return false;
    };
}
