#include "download/download_summary.h"

#include <cstring>

#include "scsi/sense.h"
#include "scsi/string_format.h"

namespace {

std::string Revision(const std::string& revision)
{
    return revision.empty() ? "(blank)" : revision;
}

std::string TransferFailure(const TransferResult& transfer)
{
    using Outcome = TransferResult::Outcome;
    const auto offset = static_cast<unsigned long>(transfer.failedPiece.offset);
    switch (transfer.outcome) {
    case Outcome::NoHandle: return "the drive is not open";
    case Outcome::CallFailed:
        return StringPrintf("the piece at offset %lu never reached the drive (error %d: %s)", offset,
                            transfer.errorCode, std::strerror(transfer.errorCode));
    case Outcome::ScsiStatus: {
        std::string text =
            StringPrintf("the piece at offset %lu ended with status %02Xh", offset, unsigned{transfer.scsiStatus});
        if (transfer.senseLength > 0) {
            const SenseCodes codes = ReadSenseCodes(transfer.sense, transfer.senseLength);
            text += StringPrintf(", sense key %Xh, ASC %02Xh, ASCQ %02Xh", unsigned{codes.senseKey},
                                 unsigned{codes.asc}, unsigned{codes.ascq});
        }
        return text;
    }
    case Outcome::Sent:
    case Outcome::Cancelled: break;
    }
    return {};
}

std::string LastAnswer(const DriveReport& report)
{
    return report.lastCheck ? ReadinessCheckText(*report.lastCheck) : "none";
}

}  // namespace

const char* DriveOutcomeText(DriveOutcome outcome)
{
    switch (outcome) {
    case DriveOutcome::TookImage: return "took the image";
    case DriveOutcome::TransferFailed: return "transfer failed";
    case DriveOutcome::Timeout: return "did not become ready";
    case DriveOutcome::AbnormalStatus: return "abnormal status after the transfer";
    case DriveOutcome::Cancelled: return "cancelled while in work";
    case DriveOutcome::NotAttempted: return "not attempted";
    }
    return "";
}

bool DriveReportOk(const DriveReport& report)
{
    return report.outcome == DriveOutcome::TookImage;
}

std::string DriveReportText(const DriveReport& report)
{
    const std::string head = report.path + ": ";
    switch (report.outcome) {
    case DriveOutcome::TookImage:
        return head + "OK, took the image; revision " + Revision(report.revisionBefore) + " before, " +
               (report.revisionAfter ? Revision(*report.revisionAfter) : "not read") + " after";
    case DriveOutcome::TransferFailed:
        return head + "failed, transfer failed: " + TransferFailure(report.transfer) +
               (report.revisionAfter ? "; the drive reports revision " + Revision(*report.revisionAfter) : "");
    case DriveOutcome::Timeout:
        return head + "failed, did not become ready within " + std::to_string(report.readyTimeoutSeconds) +
               " s (last answer: " + LastAnswer(report) + ")";
    case DriveOutcome::AbnormalStatus:
        return head + "failed, abnormal status after the transfer: " + LastAnswer(report);
    case DriveOutcome::Cancelled:
        return head + "cancelled while in work; nothing more was sent to it";
    case DriveOutcome::NotAttempted:
        return head + "not attempted, " +
               (report.stoppedBy.empty() ? std::string("the download was cancelled")
                                         : "the download stopped at the failure of " + report.stoppedBy);
    }
    return head;
}

std::string DownloadSummaryText(const std::vector<DriveReport>& reports)
{
    std::string text;
    size_t took = 0;
    for (const DriveReport& report : reports) {
        text += DriveReportText(report) + "\n";
        if (DriveReportOk(report)) ++took;
    }
    text += std::to_string(took) + " of " + std::to_string(reports.size()) +
            (reports.size() == 1 ? " drive" : " drives") + " took the image";
    return text;
}
