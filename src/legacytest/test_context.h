#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "legacytest/error_counters.h"
#include "legacytest/read_failure.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "scsi/scsi_device.h"

class DeviceCatalog;
class OutputWindow;
class SequenceProgress;
struct DeviceEntry;

// What a test run takes from its surroundings, so that tests drive it with
// a fake clock and a scripted keyboard. Null members fall back to the
// system clock and to no keyboard.
struct TestEnvironment {
    Clock* clock = nullptr;
    Keyboard* keyboard = nullptr;
    // Opens a drive whose entry holds no handle yet; null: such a drive is
    // an invalid device.
    DeviceCatalog* catalog = nullptr;
    // Where the sequence tells how far it is; null: nobody watches. One per
    // drive.
    SequenceProgress* progress = nullptr;
};

// The random verify's generator: values 0 to 32767 from the C standard's
// sample generator, never seeded, so every run spreads its reads alike.
class TestRandom {
public:
    static constexpr int kMax = 32767;
    int Next()
    {
        next_ = next_ * 1103515245u + 12345u;
        return static_cast<int>((next_ / 65536u) % 32768u);
    }

private:
    uint32_t next_ = 1;
};

// The second per-drive record the subtest operations receive.
struct TestWorkspace {
    uint64_t lastLba = 0;
    uint32_t blockLength = 0;
    uint8_t headCount = 0;
    DeviceEntry* device = nullptr;
    OutputWindow* output = nullptr;
};

inline constexpr uint32_t kDefaultBlockLength = 512;
inline constexpr int kInitialErrorBudget = 20;
inline constexpr size_t kTestSenseLength = 19;

// The per-drive state of one sequence run.
class TestContext {
public:
    TestContext(DeviceHandle handle, Clock& clock, Keyboard& keyboard) : handle(std::move(handle)), clock(clock), keyboard(keyboard) {}

    DeviceHandle* Device() { return &handle; }
    // A waiting Escape; other keys are consumed.
    bool EscapePressed() { return keyboard.EscapePressed(); }
    int64_t Now() { return clock.Now(); }

    // Bytes per logical block for sizing transfers: what READ CAPACITY said,
    // else what discovery read, else 512.
    uint32_t BytesPerBlock() const;

    DeviceHandle handle;
    Clock& clock;
    Keyboard& keyboard;
    TestRandom random;

    uint64_t lastLba = 0;
    uint32_t blockLength = 0;
    uint64_t startCursor = 0;
    uint64_t endCursor = 0;
    uint64_t working = 0;
    int formatRetries = 0;
    int smartUsable = 1;
    int errorBudget = kInitialErrorBudget;
    std::array<uint8_t, kTestSenseLength> sense{};
    int64_t startTime = 0;
    TestWorkspace workspace;
    // The error counters as the last error-log check read them.
    std::optional<ErrorCounterReading> errorCounters;
    // The last read of the verify primitives that failed, for the report.
    std::optional<ReadFailure> lastReadFailure;
};
