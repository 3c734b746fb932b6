#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/download_transfer.h"
#include "download/readiness.h"

// How a drive's part of a download ended.
enum class DriveOutcome {
    TookImage,       // every piece went and the drive came back ready
    TransferFailed,  // a piece failed or the drive is not open; the drive was still checked
    Timeout,         // still restarting, or not answering, when the time allowed ran out
    AbnormalStatus,  // the check had an answer other than ready or restarting
    Cancelled,       // the download was cancelled while the drive was in work
    NotAttempted,    // nothing was sent: the download had stopped before this drive
};

// Short words for a report line, e.g. "took the image".
const char* DriveOutcomeText(DriveOutcome outcome);

// What happened to one drive of a download.
struct DriveReport {
    std::string path;
    DriveOutcome outcome = DriveOutcome::NotAttempted;
    std::string revisionBefore;
    // Read with INQUIRY once the drive was ready again; none when it was not
    // read or INQUIRY failed.
    std::optional<std::string> revisionAfter;
    TransferResult transfer;
    std::optional<ReadinessCheck> lastCheck;
    uint32_t readyTimeoutSeconds = 0;
    // NotAttempted: the drive whose failure stopped the download; empty when
    // it was cancelled.
    std::string stoppedBy;
};

bool DriveReportOk(const DriveReport& report);

// One line per drive, "<path>: OK, took the image; revision 0412 before,
// 0415 after" or "<path>: failed, ..." with what went wrong.
std::string DriveReportText(const DriveReport& report);
// The lines of every drive and a last one: "2 of 3 drives took the image".
std::string DownloadSummaryText(const std::vector<DriveReport>& reports);
