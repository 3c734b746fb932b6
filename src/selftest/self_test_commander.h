#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/scsi_device.h"
#include "selftest/dst_drive_context.h"

class OutputWindow;
struct DeviceEntry;
struct ScsiRequest;

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
    // the new one: 100 once the indication drops (the test has ended).
    int PollProgress(DeviceHandle* handle, int& progress);
    int ReadResultsPage(DeviceHandle* handle);
    int ReadLatestResult(const DstDriveContext& context, DeviceHandle* handle);
    // Picks the most recent entry of the results buffer, reports it and
    // records it in the entry by its dstType: 1 passed or ended without a
    // failure, 0 failed, not the expected page, or no entry.
    int ParseLatestResult(OutputWindow* window, DeviceEntry& entry);
    // The results buffer in hex, on the console streams.
    void DumpResultsPage() const;
    void ReportForDrive(const DstDriveContext& context, const char* text) const;

    // The last REQUEST SENSE data told of a self-test in progress
    // (LOGICAL UNIT NOT READY, SELF-TEST IN PROGRESS).
    bool SenseShowsSelfTestRunning() const;

    const uint8_t* ResultsPage() const { return resultsPage_.get(); }
    const uint8_t* SenseData() const { return sense_.get(); }
    // Of the entry last chosen by ParseLatestResult.
    uint32_t TimeStamp() const { return timeStamp_; }

private:
    std::unique_ptr<uint8_t[]> resultsPage_;
    std::unique_ptr<uint8_t[]> sense_;
    uint32_t timeStamp_ = 0;
    uint32_t failingLbaHigh_ = 0;
    uint32_t failingLbaLow_ = 0;
    uint8_t senseKey_ = 0;
    uint8_t asc_ = 0;
    uint8_t ascq_ = 0;
    uint8_t fru_ = 0;
};
