// The test sequence: entry, the subtests that need nothing but the drive's
// basic commands (ready, buffer RAM, format check, diagnostics) and the
// frame around the others.
#include "legacytest/sequence_engine.h"

#include <algorithm>

#include "drives/device_entry.h"
#include "legacytest/media_verify.h"
#include "legacytest/no_abort_step.h"
#include "legacytest/sequence_run.h"
#include "scsi/builders.h"
#include "scsi/byte_order.h"
#include "scsi/report.h"
#include "scsi/sense.h"
#include "scsi/string_format.h"

namespace {

constexpr int64_t kReadyWindowSeconds = 30;
constexpr int64_t kReadyPauseMilliseconds = 500;
constexpr uint32_t kTestUnitReadyTimeOut = 1000;
constexpr uint32_t kBufferTestLength = 512;
constexpr uint8_t kBufferDataMode = 0x02;
constexpr uint8_t kSelfTestBit = 0x04;
constexpr uint16_t kDiagnosticResultsLength = 12;

}  // namespace

int RunTestSequence(const SubtestSelection& selection, DeviceEntry& entry, OutputWindow* output,
                    const TestEnvironment& environment, SequenceOutcome* outcome)
{
    SystemClock systemClock;
    NoKeyboard noKeyboard;
    SequenceOutcome local;
    SequenceOutcome& result = outcome != nullptr ? *outcome : local;
    result = SequenceOutcome{};
    SequenceProgress unwatched;
    SequenceRun run(selection, entry, output, environment.clock ? *environment.clock : systemClock,
                    environment.keyboard ? *environment.keyboard : noKeyboard, result,
                    environment.progress ? *environment.progress : unwatched);
    return run.Run();
}

SequenceRun::SequenceRun(const SubtestSelection& selection, DeviceEntry& entry, OutputWindow* output, Clock& clock,
                         Keyboard& keyboard, SequenceOutcome& outcome, SequenceProgress& progress)
    : selection(selection),
      entry(entry),
      output(output),
      outcome(outcome),
      progress(progress),
      context(entry.handle, clock, keyboard)
{
    context.workspace.device = &entry;
    context.workspace.output = output;
}

int SequenceRun::Run()
{
    const auto end = [this](int subtest, int result) {
        outcome.endedBy = subtest;
        outcome.result = result;
        return result;
    };
    int selected = 0;
    for (int index = 0; index < kSubtestCount; ++index) selected += selection.Runs(index) ? 1 : 0;
    progress.Select(selected);
    if (Escape()) return end(-1, kSequenceEscape);
    context.lastLba = 0;
    context.blockLength = 0;
    context.startTime = context.Now();

    for (int index = kSubtestDriveReady; index <= kSubtestDiagnostics; ++index) {
        if (selection.Runs(index)) {
            outcome.current = index;
            progress.Begin(index);
            Step step;
            switch (index) {
            case kSubtestDriveReady: step = DriveReady(); break;
            case kSubtestRam: step = BufferRam(); break;
            case kSubtestFormatCheck: step = FormatCheck(); break;
            default: step = Diagnostics(); break;
            }
            if (step) return end(index, *step);
            progress.Done();
        }
        // The keyboard is polled after the places of the format check and
        // the diagnostics whether or not they ran.
        if ((index == kSubtestFormatCheck || index == kSubtestDiagnostics) && Escape())
            return end(index, kSequenceEscape);
    }

    context.smartUsable = 1;
    holder.emplace(output);

    for (int index = kSubtestSmartCheck; index < kSubtestCount; ++index) {
        if (!selection.Runs(index)) continue;
        outcome.current = index;
        progress.Begin(index);
        Step step;
        switch (index) {
        case kSubtestSmartCheck: step = SmartCheck(); break;
        case kSubtestPhysicalHeads: step = PhysicalHeads(); break;
        case kSubtestErrorLog: step = ErrorLog(kSubtestErrorLog); break;
        case kSubtestRandomVerify: step = RandomVerify(); break;
        case kSubtestFirst300MB: step = First300MB(); break;
        case kSubtestLast100MB: step = Last100MB(); break;
        case kSubtestDefectAdjacent: step = DefectAdjacent(); break;
        case kSubtestEntireScan: step = EntireScan(); break;
        case kSubtestErrorLogRecheck: step = ErrorLog(kSubtestErrorLogRecheck); break;
        case kSubtestSmartRecheck: step = SmartRecheck(); break;
        default: break;
        }
        if (step) return end(index, *step);
        progress.Done();
    }
    outcome.completed = true;
    return kSequenceDone;
}

SequenceRun::Step SequenceRun::DriveReady()
{
    ReportLine(output, "Begin drive read test");
    // Each new answer shows "TEST UNIT FAILED" at once; a run of the same
    // answer is told once more, with its count, when it ends.
    std::optional<ReadyAnswer> last;
    int repeats = 0;
    const auto tellRepeats = [&] {
        if (repeats < 2) return;
        ReportBlock(output, StringPrintf("TEST UNIT FAILED %d times, Target Status = %02x, SenseKey=%02x, "
                                         "SenseCode=%02x, Qualifier=%02x",
                                         repeats, last->status, last->senseKey, last->asc, last->ascq)
                                .c_str());
    };
    int64_t now = context.Now();
    while (now - context.startTime <= kReadyWindowSeconds) {
        if (Escape()) return kSequenceEscape;
        ScsiRequest request;
        if (ScsiTestUnitReady(1, request, context.Device(), kTestUnitReadyTimeOut) == kTestUnitReadyGood) {
            tellRepeats();
            ReportLine(output, "Finished drive ready test");
            return std::nullopt;
        }
        const SenseCodes codes = request.ScsiStatus == kStatusCheckCondition
                                     ? ReadSenseCodes(request.SenseData, sizeof request.SenseData)
                                     : SenseCodes{};
        const ReadyAnswer answer{request.ScsiStatus, codes.senseKey, codes.asc, codes.ascq};
        if (last && *last == answer) {
            ++repeats;
        } else {
            tellRepeats();
            ReportBlock(output, "TEST UNIT FAILED");
            last = answer;
            repeats = 1;
        }
        // A drive spinning up needs time, not a flood of commands.
        context.clock.Sleep(kReadyPauseMilliseconds);
        now = context.Now();
    }
    tellRepeats();
    // Never ready: the sequence ends quietly, with no finished line.
    return kSequenceDone;
}

SequenceRun::Step SequenceRun::BufferRam()
{
    ReportLine(output, "Begin RAM test");
    // The data are not compared: the buffer only has to take back what it gave.
    uint8_t data[kBufferTestLength] = {};
    ScsiRequest read;
    read.DataBuffer = data;
    read.DataTransferLength = kBufferTestLength;
    // What the buffer did not give cannot be given back.
    bool passed = ScsiReadBuffer(kBufferDataMode, kBufferTestLength, read, context.Device(), 1) == 1 &&
                  DataTransferred(read) == kBufferTestLength;
    if (passed) {
        ScsiRequest write;
        write.DataBuffer = data;
        write.DataTransferLength = kBufferTestLength;
        passed = ScsiWriteBuffer(kBufferDataMode, kBufferTestLength, write, context.Device(), 1) == 1;
    }
    // A buffer that fails is reported, but the sequence goes on.
    if (!passed)
        ReportBlock(output, "Read/Write Buffer Test Failure");
    else
        ReportLine(output, "Finished RAM test");
    return std::nullopt;
}

SequenceRun::Step SequenceRun::FormatCheck()
{
    ReportLine(output, "Begin low level format check");
    context.formatRetries = 0;
    while (true) {
        ScsiRequest failed;
        uint64_t lba = 0;
        if (QueryCapacity(context, lba, context.blockLength, 1, 1, &failed) == kCapacityOk) {
            context.lastLba = lba;
            break;
        }
        bool again = false;
        if (const Step step = FormatSense(failed, again)) return step;
        if (!again) break;
    }
    ReportLine(output, "Finished low level format check");
    return std::nullopt;
}

// What the drive said with the READ CAPACITY it refused; nothing when the
// format check passes, again set when READ CAPACITY is to be tried again.
// A REQUEST SENSE after the command would find the sense already cleared.
SequenceRun::Step SequenceRun::FormatSense(const ScsiRequest& failed, bool& again)
{
    if (failed.ScsiStatus != kStatusCheckCondition) {
        // No sense to judge (a failed call, BUSY and the like): the drive
        // gave no capacity, and that is no pass.
        ReportBlock(output, "QueryCapacity Failure");
        return kSequenceFormatCheck;
    }
    std::copy_n(failed.SenseData, context.sense.size(), context.sense.begin());
    // The key is byte 2 whole: a drive that sets FILEMARK, EOM or ILI
    // there matches no row and ends the check.
    const uint8_t key = context.sense[2];
    const uint8_t asc = context.sense[12];
    const uint16_t code = LoadBe16(context.sense.data() + 12);
    switch (key) {
    case 0x0: return std::nullopt;
    case 0x6:
        if (asc != 0x29) return kSequenceFormatCheck;
        if (context.formatRetries > 0) {
            ReportBlock(output, StringPrintf("SenseKey=%02x, SenseCode=%02x", 6u, 0x29u).c_str());
            return kSequenceFormatCheck;
        }
        context.formatRetries = 1;
        again = true;
        return std::nullopt;
    case 0x2:
        switch (code) {
        case 0x0400: ReportBlock(output, "DRIVE NOT READY - unreportable cause"); return kSequenceFormatCheck;
        case 0x0401:
            ReportBlock(output,
                        "Drive seems to be becoming ready, but we can't wait! this isn't a drive ready test bucko!");
            return kSequenceFormatCheck;
        case 0x0402: {
            ReportBlock(output, "START UNIT Required");
            ScsiRequest start;
            if (ScsiStartUnit(0, start, context.Device()) == 1) return std::nullopt;
            ReportBlock(output, "START UNIT Failure");
            return kSequenceFormatCheck;
        }
        case 0x0403: ReportBlock(output, "DRIVE NOT READY - manual intervention required"); return kSequenceFormatCheck;
        default: return std::nullopt;
        }
    case 0x3:
        ReportBlock(output, asc == 0x19 ? "DEFECT LIST CORRUPT" : asc == 0x31 ? "FORMAT CORRUPT" : "MEDIUM ERROR");
        return kSequenceFormatCheck;
    case 0x4: ReportBlock(output, "HARDWARE ERROR"); return kSequenceFormatCheck;
    default: return kSequenceFormatCheck;
    }
}

SequenceRun::Step SequenceRun::Diagnostics()
{
    ReportLine(output, "Begin receive/send diagnostic test");
    if (Escape()) return kSequenceEscape;
    uint8_t results[kDiagnosticResultsLength] = {};
    const char* failure = nullptr;
    {
        // The drive's own test runs to its end and is read back before a
        // stop may take the worker.
        NoAbortStep step;
        ScsiRequest send;
        if (ScsiSendDiagnostic(kSelfTestBit, 0, send, context.Device(), 1) != 1) {
            failure = "SendDiag Failure";
        } else if (Escape()) {
            return kSequenceEscape;
        } else {
            ScsiRequest receive;
            receive.DataBuffer = results;
            receive.DataTransferLength = kDiagnosticResultsLength;
            if (ScsiReceiveDiagnostic(kDiagnosticResultsLength, receive, context.Device(), 1) != 1)
                failure = "ReceiveDiag Failure";
        }
    }
    if (failure != nullptr) {
        ReportBlock(output, failure);
        return kSubtestDiagnostics;
    }
    ReportLine(output, "Finished receive/send diagnostic test");
    return std::nullopt;
}
