#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "scsi/scsi_request.h"

// Holds the first command with an opcode inside the drive until released,
// as a hung command would be held: called from a device's hook, it blocks
// the thread that sent the command.
class CommandGate {
public:
    explicit CommandGate(uint8_t opcode) : opcode(opcode) {}
    ~CommandGate() { Release(); }

    void Pass(const ScsiRequest& request)
    {
        if (request.Cdb[0] != opcode) return;
        std::unique_lock lock(mutex);
        if (held) return;
        held = inside = true;
        changed.notify_all();
        changed.wait(lock, [this] { return released; });
        inside = false;
        changed.notify_all();
    }
    bool Inside()
    {
        std::lock_guard lock(mutex);
        return inside;
    }
    bool WaitInside()
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [this] { return inside; });
    }
    void Release()
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

private:
    const uint8_t opcode;
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool inside = false;
    bool released = false;
};
