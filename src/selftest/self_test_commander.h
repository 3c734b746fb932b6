#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"
#include "selftest/dst_drive_context.h"
#include "selftest/dst_results_log.h"

class OutputWindow;
struct DeviceEntry;

// SEND DIAGNOSTIC self-test codes as the CDB's byte 1 carries them (SPC-4:
// self-test code in bits 7-5).
inline constexpr uint8_t kDstCodeQuick = 0x20;     // background short self-test
inline constexpr uint8_t kDstCodeAdvanced = 0x40;  // background extended self-test
inline constexpr uint8_t kDstCodeAbort = 0x80;     // abort background self-test

inline constexpr size_t kDstResultsPageSize = 404;  // 4-byte header + 20 entries of 20 bytes
inline constexpr size_t kDstSenseBufferSize = 200;
inline constexpr size_t kDstSenseLength = 19;
inline constexpr size_t kDstEntryCount = 20;
inline constexpr size_t kDstEntrySize = 20;

// Texts of the self-test result values (low four bits of entry byte 4).
extern const std::array<const char*, 16> g_selfTestResultText;

// Results of ParseLatestResult / ReadLatestResult.
inline constexpr int kDstResultFailedOrNone = 0;
inline constexpr int kDstResultPassed = 1;
inline constexpr int kDstResultNoEntry = -1;  // no entry of the run's test, or no page

// The outcome texts of a test that left no entry of its own.
inline constexpr const char* kDstRefusedText = "The Send Diagnostic command failed. DST Not Running";
inline constexpr const char* kDstNoEntryText = "The drive's self-test results log shows no result of this test.";

// Talks to one drive about its own self-test. Short-lived: each operation
// of the run creates one and drops it at its end.
class SelfTestCommander {
public:
    SelfTestCommander();

    // SEND DIAGNOSTIC with `code` in byte 1: 1 when it succeeded, else 0.
    int SendSelfTestCode(uint8_t code, ScsiRequest& request, DeviceHandle* handle);
    // REQUEST SENSE (19 bytes) into the sense buffer: what the executor returned.
    int RequestProgressSense(ScsiRequest& request, DeviceHandle* handle);
    // LOG SENSE of the self-test results page into the results buffer: 1 / 0.
    int LogSenseSelfTestPage(ScsiRequest& request, DeviceHandle* handle);

    int StartSelfTest(DeviceHandle* handle, uint8_t code);
    int AbortSelfTest(DeviceHandle* handle);
    // `progress` holds the previous percentage on entry and, on success,
    // the new one when the drive tells it. Whether the test has ended is
    // not told here: see SenseShowsSelfTestRunning and RunEntryState.
    int PollProgress(DeviceHandle* handle, int& progress);
    int ReadResultsPage(DeviceHandle* handle);
    int ReadLatestResult(const DstDriveContext& context, DeviceHandle* handle, const DstRunMark& mark);
    // Takes the entry of the run's own test from the results buffer,
    // reports it and records it in the entry by its dstType: 1 passed or
    // ended without a failure, 0 failed, kDstResultNoEntry when the log
    // (or the buffer) holds no entry of that test; nothing is then recorded.
    int ParseLatestResult(OutputWindow* window, DeviceEntry& entry, const DstRunMark& mark);
    // The mark of a run about to start `code` on the drive whose results
    // page is in the buffer.
    DstRunMark MarkRun(uint8_t code) const;
    // What the results buffer says of the run's own test.
    DstRunEntryState RunEntryState(const DstRunMark& mark) const;
    // A test that left no entry of its own, recorded as a failure with its
    // text (the drive's sense of the refusal, when it gave one) and reported.
    void RecordRefusedStart(OutputWindow* window, DeviceEntry& entry) const;
    void RecordNoEntry(OutputWindow* window, DeviceEntry& entry) const;
    // Sense key, ASC and ASCQ of the last command that ended in CHECK
    // CONDITION, to the window; nothing when none did.
    void ReportDriveSense(OutputWindow* window) const;
    // The results buffer in hex, on the console streams.
    void DumpResultsPage() const;
    void ReportForDrive(const DstDriveContext& context, const char* text) const;

    // The last REQUEST SENSE data told of a self-test in progress
    // (LOGICAL UNIT NOT READY, SELF-TEST IN PROGRESS).
    bool SenseShowsSelfTestRunning() const;
    // The last REQUEST SENSE data had nothing to report: no sense key and
    // no additional sense code.
    bool SenseShowsNothingPending() const;

    const uint8_t* ResultsPage() const { return resultsPage_.get(); }
    const uint8_t* SenseData() const { return sense_.get(); }
    // Of the entry last chosen by ParseLatestResult.
    uint32_t TimeStamp() const { return timeStamp_; }

private:
    // Keeps the answer of a command that failed, for the reports.
    int Issue(ScsiRequest& request, DeviceHandle* handle, uint8_t direction);
    void RecordWithoutEntry(OutputWindow* window, DeviceEntry& entry, const char* text, const uint8_t* sense) const;

    std::unique_ptr<uint8_t[]> resultsPage_;
    std::unique_ptr<uint8_t[]> sense_;
    uint32_t timeStamp_ = 0;
    uint32_t failingLbaHigh_ = 0;
    uint32_t failingLbaLow_ = 0;
    uint8_t senseKey_ = 0;
    uint8_t asc_ = 0;
    uint8_t ascq_ = 0;
    uint8_t fru_ = 0;
    ScsiRequest lastFailure_;
};
