#pragma once

#include <optional>

#include "legacytest/exceptions_page.h"
#include "legacytest/sequence_engine.h"
#include "legacytest/test_context.h"

// One call of RunTestSequence. Each subtest returns the sequence's result
// when it ends the sequence, nothing when the sequence goes on.
class SequenceRun {
public:
    using Step = std::optional<int>;

    SequenceRun(const SubtestSelection& selection, DeviceEntry& entry, OutputWindow* output, Clock& clock,
                Keyboard& keyboard, SequenceOutcome& outcome);

    int Run();

private:
    // sequence_engine.cpp
    Step DriveReady();
    Step BufferRam();
    Step FormatCheck();
    Step FormatSense();
    Step Diagnostics();
    bool Escape() { return context.EscapePressed(); }
    // smart_subtests.cpp
    Step SmartCheck();
    Step SmartRecheck();
    Step UnsolicitedSense(int endResult);
    // surface_subtests.cpp
    Step PhysicalHeads();
    Step ErrorLog(int subtest);
    Step RandomVerify();
    Step First300MB();
    Step Last100MB();
    Step DefectAdjacent();
    Step EntireScan();
    // The capacity read of the surface subtests; a result ends with subtest.
    Step Capacity(int subtest);
    // Slices from the cursor until it reaches until; a failed slice shows
    // failure and ends with subtest. Escape ends with 2 unless swallowed.
    Step Scan(int subtest, uint32_t until, uint16_t count, int seconds, const char* failure, bool escapeEnds = true);

    const SubtestSelection& selection;
    DeviceEntry& entry;
    OutputWindow* output;
    SequenceOutcome& outcome;
    TestContext context;
    std::optional<ExceptionsPageSave> holder;
};
