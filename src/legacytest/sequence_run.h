#pragma once

#include <optional>

#include "legacytest/exceptions_page.h"
#include "legacytest/sequence_engine.h"
#include "legacytest/sequence_progress.h"
#include "legacytest/test_context.h"

struct ScsiRequest;

// One call of RunTestSequence. Each subtest returns the sequence's result
// when it ends the sequence, nothing when the sequence goes on.
class SequenceRun {
public:
    using Step = std::optional<int>;

    SequenceRun(const SubtestSelection& selection, DeviceEntry& entry, OutputWindow* output, Clock& clock,
                Keyboard& keyboard, SequenceOutcome& outcome, SequenceProgress& progress);

    // A page the sequence changed and has not put back (it ended early, or
    // a stop unwinds through here) goes back now.
    ~SequenceRun();
    SequenceRun(const SequenceRun&) = delete;
    SequenceRun& operator=(const SequenceRun&) = delete;

    int Run();

private:
    // sequence_engine.cpp
    // How the drive answered one TEST UNIT READY it failed.
    struct ReadyAnswer {
        uint8_t status = 0;  // 0 too when the call failed
        uint8_t senseKey = 0;
        uint8_t asc = 0;
        uint8_t ascq = 0;
        bool operator==(const ReadyAnswer&) const = default;
    };
    Step DriveReady();
    Step BufferRam();
    Step FormatCheck();
    Step FormatSense(const ScsiRequest& failed, bool& again);
    Step Diagnostics();
    bool Escape() { return context.EscapePressed(); }
    // smart_subtests.cpp
    Step SmartCheck();
    Step SmartRecheck();
    Step UnsolicitedSense(int endResult);
    // RestoreExceptionsPage, noting in the outcome a page left changed.
    bool RestorePage();
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
    // Slices from the cursor until it reaches until, reading no further
    // than lastBlock; a failed slice shows failure and the failed read, and
    // ends with subtest. Escape ends with 2 unless swallowed.
    Step Scan(int subtest, uint64_t until, uint64_t lastBlock, uint16_t count, int seconds, const char* failure,
              bool escapeEnds = true);
    // The read that just failed: its blocks (and the failing one) in the
    // report and in the outcome.
    void ReportReadFailure(int subtest);

    const SubtestSelection& selection;
    DeviceEntry& entry;
    OutputWindow* output;
    SequenceOutcome& outcome;
    SequenceProgress& progress;
    TestContext context;
    std::optional<ExceptionsPageSave> holder;
};
