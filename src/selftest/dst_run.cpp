#include "selftest/dst_run.h"

#include <algorithm>

#include "drives/device_table.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "platform/user_prompts.h"
#include "scsi/report.h"
#include "selftest/self_test_commander.h"

namespace {

constexpr const char* kNoDst = "Drive does not support DST";
constexpr int kStartedBar = 2;
// Polls in a row at which a drive reports nothing pending and its log
// holds nothing of the test before the test is taken as gone without an
// entry: a drive running a self-test says so at once.
constexpr int kQuietPollsForNoEntry = 3;

DstOutcome& OutcomeOfType(DeviceEntry& entry) { return entry.dstType == 1 ? entry.dstQuick : entry.dstAdvanced; }

// Slot order, like the device table's own walk, but without its shared
// cursor: another subsystem's worker may be walking the table meanwhile.
template <typename Action>
void ForEachDrive(Action action)
{
    for (auto& slot : g_devices)
        if (slot) action(*slot);
}

}  // namespace

DstRun::DstRun(DstRunHost& host, const DstRunSetup& setup) : host_(host), setup_(setup) {}

bool DstRun::TakesPart(const DeviceEntry& entry) const
{
    return !entry.isController && (setup_.allDrives || entry.selected);
}

DstDriveContext DstRun::ContextFor(DeviceEntry& entry) const
{
    return MakeDstDriveContext(entry, setup_.output, setup_.pathPrefix);
}

time_t DstRun::Now() const { return setup_.clock ? static_cast<time_t>(setup_.clock->Now()) : time(nullptr); }

bool DstRun::EscapePressed() const { return setup_.keyboard && setup_.keyboard->EscapePressed(); }

void DstRun::SetTimer()
{
    timerArmed_ = true;
    host_.SetTimer();
}

void DstRun::KillTimer()
{
    timerArmed_ = false;
    host_.KillTimer();
}

void DstRun::OnStart(int mode)
{
    host_.EnableStart(false);
    bothRun_ = false;
    const uint8_t code = mode == kDstModeAdvanced ? kDstCodeAdvanced : kDstCodeQuick;
    ForEachDrive([&](DeviceEntry& entry) {
        if (!TakesPart(entry)) return;
        entry.dstMode = static_cast<uint8_t>(mode);
        entry.dstType = static_cast<uint8_t>(mode == kDstModeBoth ? 1 : mode);
    });
    StartSelfTests(code);
}

void DstRun::StartSelfTests(uint8_t code)
{
    KillTimer();
    SelfTestCommander commander;
    int started = 0;
    int tried = 0;
    for (auto& slot : g_devices) {
        if (!slot || !TakesPart(*slot)) continue;
        DeviceEntry& entry = *slot;
        ++tried;
        entry.testState = 0;
        entry.underTest = false;
        if (entry.dstMode == kDstModeBoth && entry.dstType == 1) bothRun_ = true;
        phase_ = entry.dstType;
        const DstDriveContext context = ContextFor(entry);
        OutcomeOfType(entry).ended = 0;

        // A drive without a results page has no self-test to speak of.
        if (commander.ReadResultsPage(&entry.handle) != 1) {
            if (code == kDstCodeQuick) {
                entry.dstQuickStatus = 0;
                entry.dstQuickResult = kNoDst;
            } else if (code == kDstCodeAdvanced) {
                entry.dstAdvStatus = 0;
                entry.dstAdvResult = kNoDst;
            }
            ReportLine(setup_.output, kNoDst);
            commander.ReportDriveSense(setup_.output);
            continue;
        }
        // What the log holds now is not this test's result.
        drives_[&entry] = DriveRun{commander.MarkRun(code)};
        ReportLine(setup_.output, "for drive ", PathWithoutPrefix(entry.path, setup_.pathPrefix).c_str());

        const time_t now = Now();
        if (code == kDstCodeQuick) {
            ReportLine(setup_.output, "Quick Drive Self Test (DST)");
            entry.dstQuick.beginTime = now;
        } else if (code == kDstCodeAdvanced) {
            ReportLine(setup_.output, "Advanced Drive Self Test (DST)");
            entry.dstAdvanced.beginTime = now;
        } else {
            entry.dstType = 0;
            commander.ReportForDrive(context, "\nUnknown Drive Self Test (DST)");
            break;
        }

        if (commander.StartSelfTest(&entry.handle, code) == 1) {
            ++started;
            MarkDeviceUnderTest(entry);
            continue;
        }
        DstOutcome& outcome = OutcomeOfType(entry);
        outcome.ended = 1;
        outcome.endTime = outcome.beginTime;
        commander.RecordRefusedStart(setup_.output, entry);
        commander.DumpResultsPage();
        commander.ReportForDrive(context, "\nDST Failed");
    }
    host_.SetProgress(kStartedBar);
    if (started > 0)
        SetTimer();
    else if (tried > 0)
        ClosePhase();  // the refusals belong in the log file too
}

DstRun::PollVerdict DstRun::JudgePoll(SelfTestCommander& commander, DeviceEntry& entry, DriveRun& drive)
{
    if (commander.SenseShowsSelfTestRunning()) {
        drive.mark.seenRunning = true;
        drive.quietPolls = 0;
        return PollVerdict::Running;
    }
    // Other sense (a unit attention, a deferred error) or none: only the
    // test's own entry in the results log says it has ended.
    if (commander.ReadResultsPage(&entry.handle) == 1) {
        switch (commander.RunEntryState(drive.mark)) {
        case DstRunEntryState::Ended: return PollVerdict::Ended;
        case DstRunEntryState::InProgress:
            drive.mark.seenRunning = true;
            drive.quietPolls = 0;
            return PollVerdict::Running;
        case DstRunEntryState::None: break;
        }
    }
    if (!commander.SenseShowsNothingPending()) return PollVerdict::Running;
    return ++drive.quietPolls >= kQuietPollsForNoEntry ? PollVerdict::EndedWithoutEntry : PollVerdict::Running;
}

void DstRun::EndDrive(SelfTestCommander& commander, DeviceEntry& entry, PollVerdict verdict)
{
    MarkDeviceIdle(entry);
    if (verdict == PollVerdict::Ended)
        commander.ParseLatestResult(setup_.output, entry, drives_[&entry].mark);
    else
        commander.RecordNoEntry(setup_.output, entry);
    commander.DumpResultsPage();
    ReportLine(setup_.output, "DST completed for ", entry.path.c_str());
    const time_t now = Now();
    if (entry.dstType == 1 || entry.dstType == 2) {
        DstOutcome& outcome = OutcomeOfType(entry);
        outcome.ended = 1;
        outcome.endTime = now;
    }
    ReportLine(setup_.output, "DST 100% complete");
    entry.testState = 100;
}

int DstRun::SlowestRunningDrive() const
{
    int slowest = 100;
    for (const auto& slot : g_devices)
        if (slot && slot->underTest) slowest = std::min(slowest, slot->testState.load());
    return slowest;
}

void DstRun::OnTimer()
{
    SelfTestCommander commander;
    int counted = 0;
    for (auto& slot : g_devices) {
        if (!slot || !slot->underTest) continue;
        DeviceEntry& entry = *slot;
        if (entry.dstMode == kDstModeBoth && entry.dstType == 1) bothRun_ = true;
        phase_ = entry.dstType;

        int progress = entry.testState;
        const DstDriveContext context = ContextFor(entry);
        DriveRun& drive = drives_[&entry];
        const int polled = commander.PollProgress(&entry.handle, progress);
        if (EscapePressed()) {
            counted = 0;
            break;
        }
        if (polled != 1) {
            // Polled again next tick; not counted as running.
            commander.ReadLatestResult(context, &entry.handle, drive.mark);
            commander.ReportForDrive(context, "\nDST Progress Failed");
            commander.DumpResultsPage();
            continue;
        }
        ++counted;
        const PollVerdict verdict = JudgePoll(commander, entry, drive);
        if (verdict == PollVerdict::Running)
            entry.testState = progress;
        else
            EndDrive(commander, entry, verdict);
    }

    if (counted > 0) {
        // The bar follows the slowest drive still running.
        const int percent = SlowestRunningDrive();
        if (!bothRun_)
            host_.SetProgress(percent);
        else if (phase_ == 1)
            host_.SetProgress(std::min(percent / 3, 33));
        else
            host_.SetProgress(std::min(2 * percent / 3 + 33, 100));
        return;
    }
    // Nothing counted running: the phase is over (or Escape ended it).
    ClosePhase();
}

void DstRun::ClosePhase()
{
    KillTimer();
    AbortRunningSelfTests();
    if (phase_ == 1) {
        WriteQuickLog();
        if (bothRun_) {
            ForEachDrive([](DeviceEntry& entry) { entry.dstType = 2; });
            StartSelfTests(kDstCodeAdvanced);
            return;
        }
        host_.EnableStart(true);
        return;
    }
    WriteAdvancedLog();
    host_.EnableStart(true);
}

void DstRun::OnStop()
{
    const bool phaseOpen = timerArmed_;
    KillTimer();
    int running = 0;
    uint8_t lastType = 0;
    ForEachDrive([&](DeviceEntry& entry) {
        if (!entry.underTest) return;
        ++running;
        lastType = entry.dstType;
    });
    AbortRunningSelfTests();
    // Drives that ended in the last tick are no longer running, but their
    // phase was still open: their rows are written too.
    if (running == 0 && phaseOpen) lastType = phase_;
    if (running > 0 || phaseOpen) {
        if (lastType == 1)
            WriteQuickLog();
        else
            WriteAdvancedLog();
    }
    host_.SetProgress(0);
    host_.EnableStart(true);
}

void DstRun::AbortRunningSelfTests()
{
    SelfTestCommander commander;
    ForEachDrive([&](DeviceEntry& entry) {
        if (!entry.underTest) return;
        const DstDriveContext context = ContextFor(entry);
        DstOutcome& outcome = OutcomeOfType(entry);
        outcome.endTime = Now();
        outcome.ended = 1;
        MarkDeviceIdle(entry);
        commander.ReportForDrive(context, "\r\nDST Aborted");
        commander.AbortSelfTest(&entry.handle);
        if (commander.ReadLatestResult(context, &entry.handle, drives_[&entry].mark) == kDstResultNoEntry)
            commander.RecordNoEntry(setup_.output, entry);
    });
    KillTimer();
}

void DstRun::OnCancelButton()
{
    KillTimer();
    AbortRunningSelfTests();
}

void DstRun::WriteQuickLog() { WriteLog(DstKind::Quick); }

void DstRun::WriteAdvancedLog() { WriteLog(DstKind::Advanced); }

void DstRun::WriteLog(DstKind kind)
{
    std::vector<std::string> rows;
    ForEachDrive([&](DeviceEntry& entry) {
        if (TakesPart(entry)) rows.push_back(ComposeDstLogRow(entry, kind));
    });
    const std::string path = DstLogPathInUse();
    std::string error;
    const bool written = AppendDstLogRows(path, rows, error);
    if (written) {
        g_strDstLogPath = path;
    } else {
        if (setup_.prompts) setup_.prompts->Message(error, kDstLogErrorCaption, UserPrompts::Icon::Error);
        // The results stay in the report, where the user can still take them.
        ReportLine(setup_.output, "The DST log rows that could not be written:");
        for (const std::string& row : rows) ReportLine(setup_.output, row.c_str());
    }
    host_.LogRowsWritten(path, rows, written);
}
