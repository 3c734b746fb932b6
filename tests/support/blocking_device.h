#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "scsi/scsi_request.h"
#include "support/forwarding_device.h"

// Passes commands on to a drive, except that one operation code is held,
// as a drive that does not answer holds it, until Release() (or, so that a
// test of code that waits on it fails instead of hanging, for at most
// maxHold); later ones of that code pass. Commands may come from any thread.
class BlockingDevice : public ForwardingDevice {
public:
    BlockingDevice(DeviceHandle inner, uint8_t blockedOpcode)
        : ForwardingDevice(std::move(inner)), blockedOpcode(blockedOpcode)
    {
    }

    bool Execute(ScsiRequest& request) override
    {
        ++received;
        if (request.Cdb[0] == blockedOpcode && !released) {
            blocked = true;
            std::unique_lock lock(mutex);
            wake.wait_for(lock, maxHold, [this] { return released.load(); });
        }
        const bool delivered = inner->Execute(request);
        ++answered;
        return delivered;
    }

    void Release()
    {
        {
            std::lock_guard lock(mutex);
            released = true;
        }
        wake.notify_all();
    }

    std::chrono::seconds maxHold{10};
    std::atomic<bool> blocked{false};  // a command is (or was) held
    std::atomic<int> received{0};
    std::atomic<int> answered{0};

private:
    uint8_t blockedOpcode;
    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> released{false};
};
