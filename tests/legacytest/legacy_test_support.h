#pragma once

#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../support/command_gate.h"
#include "legacytest/test_context.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "scsi/output_window.h"
#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"

namespace legacytest {

// Time that moves only when told, by `step` seconds at every reading, or by
// what the program sleeps.
class FakeClock final : public Clock {
public:
    int64_t Now() override { return now.fetch_add(step); }
    // Reading it moves no time on, so measuring changes no slice.
    int64_t NowMilliseconds() override { return now.load() * 1000; }
    void Sleep(int64_t milliseconds) override
    {
        const int64_t before = slept.fetch_add(milliseconds);
        now += (before + milliseconds) / 1000 - before / 1000;
    }
    std::atomic<int64_t> now{1000};
    std::atomic<int64_t> step{0};
    std::atomic<int64_t> slept{0};  // milliseconds in all
};

// Escape at chosen polls (counted from 1), nothing otherwise.
class ScriptedKeyboard final : public Keyboard {
public:
    bool EscapePressed() override
    {
        const int poll = ++polls;
        for (int at : escapeAt)
            if (at == poll) return true;
        return false;
    }
    std::vector<int> escapeAt;
    std::atomic<int> polls{0};
};

// The running report as the results window would show it.
class RecordingOutput final : public OutputWindow {
public:
    void Append(std::string_view text) override
    {
        std::lock_guard lock(mutex);
        all.append(text);
    }
    std::string Text() const
    {
        std::lock_guard lock(mutex);
        return all;
    }
    bool Contains(const std::string& part) const { return Text().find(part) != std::string::npos; }
    size_t Count(const std::string& part) const
    {
        const std::string text = Text();
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }

private:
    mutable std::mutex mutex;
    std::string all;
};

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
class TapDevice final : public ScsiDevice {
public:
    explicit TapDevice(DeviceHandle inner) : inner(std::move(inner)) {}

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
    bool QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode) override
    {
        return inner->QueryAdapterInquiryData(buffer, errorCode);
    }
    bool QueryAddress(ScsiAddress& address) override { return inner->QueryAddress(address); }
    bool QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode) override
    {
        return inner->QueryCapabilities(capabilities, errorCode);
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

    DeviceHandle inner;
    std::function<bool(ScsiRequest&, bool& delivered)> hook;

private:
    mutable std::mutex mutex;
    std::vector<SeenCommand> commands;
};

// Lets the gate hold the command it waits for on its way through the tap.
inline void Gated(TapDevice& tap, CommandGate& gate)
{
    tap.hook = [&gate](ScsiRequest& request, bool&) {
        gate.Pass(request);
        return false;
    };
}

// Fixed-format sense with a key, ASC and ASCQ.
inline std::vector<uint8_t> FixedSense(uint8_t key, uint8_t asc, uint8_t ascq = 0)
{
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

// Ends a request as the drive would with CHECK CONDITION and this sense.
inline bool CheckCondition(ScsiRequest& request, bool& delivered, const std::vector<uint8_t>& sense)
{
    request.ScsiStatus = kStatusCheckCondition;
    std::memset(request.SenseData, 0, sizeof request.SenseData);
    std::memcpy(request.SenseData, sense.data(), std::min(sense.size(), sizeof request.SenseData));
    delivered = true;
    return true;
}

}  // namespace legacytest
