#pragma once

#include <vector>

#include "legacytest/read_failure.h"
#include "legacytest/subtest_selection.h"

class OutputWindow;
struct DeviceEntry;
struct TestEnvironment;

// Results of RunTestSequence: 0 ran to the end (or the drive never became
// ready), 2 Escape or the format check failed, otherwise the number of the
// subtest that ended the sequence (3 to 13).
inline constexpr int kSequenceDone = 0;
inline constexpr int kSequenceEscape = 2;
inline constexpr int kSequenceFormatCheck = 2;

// How one drive's sequence went, for front ends that summarise a run.
struct SequenceOutcome {
    int result = kSequenceDone;
    // The subtest at work when the sequence ended early; -1 when every
    // selected subtest finished, or an Escape came before the first.
    int endedBy = -1;
    // The subtest running now (or last), -1 before the first.
    int current = -1;
    // Every selected subtest ran to its end.
    bool completed = false;
    // A drive setting the run changed could not be put back (the report
    // says which, with its old bytes).
    bool settingsLeftChanged = false;
    // The reads of the surface subtests that failed, in order.
    std::vector<ReadFailure> readFailures;
    bool Completed() const { return completed; }
};

// Runs the selected subtests on one drive, in index order, writing the
// running report to output (null: the console streams only). The drive's
// handle must be open. A stop request unwinds out of here (WorkerStopped);
// outcome, when given, then still tells which subtest was running.
int RunTestSequence(const SubtestSelection& selection, DeviceEntry& entry, OutputWindow* output,
                    const TestEnvironment& environment, SequenceOutcome* outcome = nullptr);
