#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"

// Passes commands on to a drive, except that one operation code is held,
// as a drive that does not answer holds it, until Release() (or, so that a
// test of code that waits on it fails instead of hanging, for at most
// maxHold); later ones of that code pass. Commands may come from any thread.
class BlockingDevice : public ScsiDevice {
public:
    BlockingDevice(DeviceHandle inner, uint8_t blockedOpcode) : inner(std::move(inner)), blockedOpcode(blockedOpcode) {}

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
    bool QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode) override
    {
        return inner->QueryAdapterInquiryData(buffer, errorCode);
    }
    bool QueryAddress(ScsiAddress& address) override { return inner->QueryAddress(address); }
    bool QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode) override
    {
        return inner->QueryCapabilities(capabilities, errorCode);
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
    DeviceHandle inner;
    uint8_t blockedOpcode;
    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> released{false};
};
