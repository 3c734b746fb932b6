#pragma once

#include <memory>
#include <string>

#include "drives/device_table.h"
#include "legacy_test_support.h"
#include "legacytest/sequence_engine.h"
#include "legacytest/test_context.h"
#include "scsi/stop.h"
#include "support/bench_fixture.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

// A bench scanned into the device table, a fake clock and keyboard, and the
// report recorded; the console streams are captured so tests stay quiet.
class LegacyBenchTest : public BenchFixture {
protected:
    void SetUp() override
    {
        g_bStopRequested = 0;
        g_bNoAbort = 0;
        environment.clock = &clock;
        environment.keyboard = &keyboard;
    }
    void TearDown() override
    {
        g_bStopRequested = 0;
        g_bNoAbort = 0;
        BenchFixture::TearDown();
    }

    // Loads and scans a bench; every drive of it is in the table.
    void Start(const std::string& json)
    {
        Load(json);
        Scan();
        environment.catalog = catalog.get();
    }

    DeviceEntry& Entry(int slot) { return *g_devices[static_cast<size_t>(slot)]; }

    // Puts a tap between the entry and its drive.
    legacytest::TapDevice& Tap(DeviceEntry& entry)
    {
        auto tap = std::make_shared<legacytest::TapDevice>(entry.handle);
        entry.handle = tap;
        return *tap;
    }

    int Run(const SubtestSelection& selection, DeviceEntry& entry)
    {
        return RunTestSequence(selection, entry, &output, environment, &outcome);
    }

    // A context on the drive of `slot`, reporting to `output`.
    TestContext& Context(int slot = 0)
    {
        context = std::make_unique<TestContext>(Entry(slot).handle, clock, keyboard);
        context->workspace.output = &output;
        context->workspace.device = &Entry(slot);
        return *context;
    }

    static SubtestSelection Only(std::initializer_list<int> indexes)
    {
        SubtestSelection selection;
        for (int index : indexes) selection.run[static_cast<size_t>(index)] = 1;
        return selection;
    }

    StreamCapture streams;
    legacytest::FakeClock clock;
    legacytest::ScriptedKeyboard keyboard;
    legacytest::RecordingOutput output;
    TestEnvironment environment;
    SequenceOutcome outcome;
    std::unique_ptr<TestContext> context;
};

// A test context on a drive that answers as the test scripts it.
class ScriptedContextTest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceHandle handle = device;
    legacytest::FakeClock clock;
    NoKeyboard keyboard;
    TestContext context{handle, clock, keyboard};
    legacytest::RecordingOutput output;
    StreamCapture streams;
};

// Drive `target` on bus 0 as bench JSON, with any blocks and further fields.
inline std::string BusDrive(int target, const std::string& extra = "", uint64_t blocks = 1001,
                            uint32_t blockLength = 512)
{
    return "{\"bus\": 0, \"targetId\": " + std::to_string(target) +
           ", \"vendor\": \"MORVANE\", \"product\": \"MVX-TEST\", \"revision\": \"0100\", \"serial\": \"SN00000" +
           std::to_string(target + 1) + "\", \"blocks\": " + std::to_string(blocks) +
           ", \"blockLength\": " + std::to_string(blockLength) + (extra.empty() ? "" : ", " + extra) + "}";
}

// A bench of one drive.
inline std::string OneDrive(const std::string& extra = "", uint64_t blocks = 1001, uint32_t blockLength = 512)
{
    return Bench(1, BusDrive(0, extra, blocks, blockLength));
}
