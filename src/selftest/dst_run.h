#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "selftest/dst_drive_context.h"
#include "selftest/dst_log.h"
#include "selftest/dst_results_log.h"

class Clock;
class Keyboard;
class OutputWindow;
class SelfTestCommander;
class UserPrompts;
struct DeviceEntry;

// Modes of the "DST selection" radio buttons.
inline constexpr int kDstModeQuick = 1;
inline constexpr int kDstModeAdvanced = 2;
inline constexpr int kDstModeBoth = 3;

inline constexpr int kDstTimerMilliseconds = 10000;

// What a run needs of the window it lives in: the dialog, or the command
// line. All calls come from the thread that drives the run.
class DstRunHost {
public:
    virtual ~DstRunHost() = default;
    virtual void SetProgress(int percent) = 0;   // the progress bar, 0-100
    virtual void EnableStart(bool enabled) = 0;  // the START button
    virtual void SetTimer() = 0;                 // arms the 10-second tick
    virtual void KillTimer() = 0;
    // A phase's rows went to the log file (written) or could not.
    virtual void LogRowsWritten(const std::string& /*path*/, const std::vector<std::string>& /*rows*/,
                                bool /*written*/)
    {
    }
};

struct DstRunSetup {
    OutputWindow* output = nullptr;  // every report line of the run
    Clock* clock = nullptr;          // begin and end times
    Keyboard* keyboard = nullptr;    // Escape on an attached console aborts
    UserPrompts* prompts = nullptr;  // log file errors
    std::string pathPrefix;          // the catalog's, left out where a report names a drive
    bool allDrives = false;          // every drive takes part, not only the selected ones
};

// The self-test run of the "DST Results" dialog, free of any window: START
// starts a quick or advanced test (or both, one after the other) on the
// drives taking part, a tick every 10 seconds polls them and recognises
// their ends, STOP aborts; every phase leaves its rows in the log file.
// Runs on one thread; the host's timer calls OnTimer.
class DstRun {
public:
    DstRun(DstRunHost& host, const DstRunSetup& setup);

    void SetAllDrives(bool allDrives) { setup_.allDrives = allDrives; }
    bool AllDrives() const { return setup_.allDrives; }
    void SetClock(Clock* clock) { setup_.clock = clock; }

    void OnStart(int mode);
    void StartSelfTests(uint8_t code);
    void OnTimer();
    void OnStop();
    // Every drive still running: abort, mark idle, note the end time. No log row.
    void AbortRunningSelfTests();
    void OnCancelButton();
    void WriteQuickLog();
    void WriteAdvancedLog();

    bool TakesPart(const DeviceEntry& entry) const;
    // The run's state, for the host and for tests.
    bool BothRun() const { return bothRun_; }
    uint8_t Phase() const { return phase_; }
    bool TimerArmed() const { return timerArmed_; }

private:
    // What the run keeps of each drive it started a test on.
    struct DriveRun {
        DstRunMark mark;
        int quietPolls = 0;  // polls in a row with no sign of the test
    };
    enum class PollVerdict { Running, Ended, EndedWithoutEntry };

    PollVerdict JudgePoll(SelfTestCommander& commander, DeviceEntry& entry, DriveRun& drive);
    void EndDrive(SelfTestCommander& commander, DeviceEntry& entry, PollVerdict verdict);
    int SlowestRunningDrive() const;
    // Nothing runs any more: aborts what is left, writes the phase's rows,
    // then starts the advanced phase of a "Both" run or gives START back.
    void ClosePhase();
    DstDriveContext ContextFor(DeviceEntry& entry) const;
    time_t Now() const;
    bool EscapePressed() const;
    void SetTimer();
    void KillTimer();
    void WriteLog(DstKind kind);

    DstRunHost& host_;
    DstRunSetup setup_;
    std::map<const DeviceEntry*, DriveRun> drives_;
    uint8_t phase_ = 0;      // dstType of the last running drive a tick saw
    bool bothRun_ = false;   // a "Both" run that has reached its timer phase
    bool timerArmed_ = false;
};
