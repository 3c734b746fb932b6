#include "selftest/self_test_commander.h"

#include <cstring>
#include <iostream>
#include <new>
#include <string>

#include "drives/device_entry.h"
#include "scsi/byte_order.h"
#include "scsi/execute.h"
#include "scsi/report.h"
#include "scsi/scsi_request.h"
#include "scsi/sense.h"
#include "scsi/string_format.h"

const std::array<const char*, 16> g_selfTestResultText = {
    "The drive self-test completed without error.",
    "The drive self-test was aborted by the abort parameter code.",
    "The drive self-test was interrupted or aborted by the calling program.",
    "An unknown error occured while the drive was executing the self-test.",
    "The self-test completed with an unknown test element which failed.",
    "The electrical element of the self-test failed.",
    "The servo (and/or seek) element of the self-test failed.",
    "The read/verify element of the self-test failed.",
    "RESERVED",
    "RESERVED",
    "RESERVED",
    "RESERVED",
    "RESERVED",
    "RESERVED",
    "The read/verify scan element of the self-test is in progress.",
    "The electrical or servo element of the self-test is in progress.",
};

namespace {

// Fixed-format sense through its additional sense code qualifier: less
// says nothing of a running test. (Without the sense-key specific bytes
// that follow, SKSV reads clear and the progress stays as it was.)
constexpr uint32_t kDstSenseNeeded = 14;

constexpr uint32_t kCommandTimeOut = 2;
constexpr uint8_t kOpSendDiagnostic = 0x1D;
constexpr uint8_t kOpRequestSense = 0x03;
constexpr uint8_t kOpLogSense = 0x4D;
constexpr uint8_t kSelfTestResultsPage = 0x10;
constexpr uint8_t kCumulativeValues = 0x40;  // page control 01b
constexpr uint8_t kSenseKeySpecificValid = 0x80;
// The self-test log's own word for "no address" (SPC-4).
constexpr uint32_t kNoAddress = 0xFFFFFFFF;

DstOutcome* OutcomeFor(DeviceEntry& entry)
{
    if (entry.dstType == 1) return &entry.dstQuick;
    if (entry.dstType == 2) return &entry.dstAdvanced;
    return nullptr;
}

void RecordResult(DeviceEntry& entry, uint8_t status, const char* text)
{
    if (entry.dstType == 1) {
        entry.dstQuickStatus = status;
        entry.dstQuickResult = text;
    } else if (entry.dstType == 2) {
        entry.dstAdvStatus = status;
        entry.dstAdvResult = text;
    }
}

}  // namespace

SelfTestCommander::SelfTestCommander()
    : resultsPage_(new (std::nothrow) uint8_t[kDstResultsPageSize]()),
      sense_(new (std::nothrow) uint8_t[kDstSenseBufferSize]())
{
    if (!sense_) std::clog << "Couldn't obtain memory for drive Request Sense buffer" << std::endl;
    if (!resultsPage_) std::clog << "Couldn't obtain memory for the Log sense save buffer" << std::endl;
}

int SelfTestCommander::SendSelfTestCode(uint8_t code, ScsiRequest& request, DeviceHandle* handle)
{
    request = ScsiRequest{};
    request.CdbLength = 6;
    request.Cdb[0] = kOpSendDiagnostic;
    request.Cdb[1] = code;
    request.TimeOutValue = kCommandTimeOut;
    if (Issue(request, handle, kScsiDataOut) == 1) return 1;
    std::clog << "Send Diagnostic command FAILED" << std::flush;
    return 0;
}

int SelfTestCommander::Issue(ScsiRequest& request, DeviceHandle* handle, uint8_t direction)
{
    const int result = ExecuteScsiRequest(request, handle, direction, 1);
    if (result != 1) lastFailure_ = request;
    return result;
}

int SelfTestCommander::RequestProgressSense(ScsiRequest& request, DeviceHandle* handle)
{
    request = ScsiRequest{};
    if (!sense_) {
        lastFailure_ = request;
        return 0;
    }
    request.CdbLength = 6;
    request.Cdb[0] = kOpRequestSense;
    request.Cdb[4] = static_cast<uint8_t>(kDstSenseLength);
    request.DataBuffer = sense_.get();
    request.DataTransferLength = kDstSenseLength;
    request.TimeOutValue = kCommandTimeOut;
    // A drive answering with fewer bytes must not leave the last drive's
    // progress behind, nor read as "nothing pending".
    std::memset(sense_.get(), 0, kDstSenseLength);
    int result = Issue(request, handle, kScsiDataIn);
    if (result == 1 && DataTransferred(request) < kDstSenseNeeded) {
        std::memset(sense_.get(), 0, kDstSenseLength);
        lastFailure_ = request;
        result = 0;
    }
    if (result != 1) std::clog << "Request Sense command FAILED" << std::flush;
    return result;
}

int SelfTestCommander::LogSenseSelfTestPage(ScsiRequest& request, DeviceHandle* handle)
{
    request = ScsiRequest{};
    if (!resultsPage_) {
        lastFailure_ = request;
        return 0;
    }
    request.CdbLength = 10;
    request.Cdb[0] = kOpLogSense;
    request.Cdb[2] = kCumulativeValues | kSelfTestResultsPage;
    StoreBe16(request.Cdb + 7, static_cast<uint16_t>(kDstResultsPageSize));
    request.DataBuffer = resultsPage_.get();
    request.DataTransferLength = kDstResultsPageSize;
    request.TimeOutValue = kCommandTimeOut;
    // One commander reads the pages of several drives: a shorter page must
    // not be completed with the previous drive's entries, nor with zeros.
    std::memset(resultsPage_.get(), 0, kDstResultsPageSize);
    if (Issue(request, handle, kScsiDataIn) != 1) return 0;
    if (DataTransferred(request) == kDstResultsPageSize) return 1;
    std::memset(resultsPage_.get(), 0, kDstResultsPageSize);
    lastFailure_ = request;
    return 0;
}

int SelfTestCommander::StartSelfTest(DeviceHandle* handle, uint8_t code)
{
    ScsiRequest request;
    if (SendSelfTestCode(code, request, handle) == 1) return 1;
    std::clog << kDstRefusedText << std::endl;
    return 0;
}

int SelfTestCommander::AbortSelfTest(DeviceHandle* handle) { return StartSelfTest(handle, kDstCodeAbort); }

int SelfTestCommander::PollProgress(DeviceHandle* handle, int& progress)
{
    ScsiRequest request;
    if (RequestProgressSense(request, handle) != 1) {
        std::clog << "The Request Sense command failed." << std::endl;
        return 0;
    }
    // Sense-key specific bytes 16-17: the progress indication, a fraction
    // of 65536 (SPC-4); it means that only in the sense of a running
    // self-test, and only with SKSV set. Other sense (a unit attention, a
    // deferred error) tells nothing of the test.
    if (SenseShowsSelfTestRunning() && (sense_[15] & kSenseKeySpecificValid) != 0) {
        const uint32_t indication = LoadBe16(sense_.get() + 16);
        progress = static_cast<int>((indication * 100) >> 16);
    }
    return 1;
}

bool SelfTestCommander::SenseShowsSelfTestRunning() const
{
    return sense_ && sense_[12] == 0x04 && sense_[13] == 0x09;
}

bool SelfTestCommander::SenseShowsNothingPending() const
{
    return sense_ && (sense_[2] & 0x0F) == 0 && sense_[12] == 0 && sense_[13] == 0;
}

int SelfTestCommander::ReadResultsPage(DeviceHandle* handle)
{
    ScsiRequest request;
    return LogSenseSelfTestPage(request, handle);
}

int SelfTestCommander::ReadLatestResult(const DstDriveContext& context, DeviceHandle* handle, const DstRunMark& mark)
{
    if (ReadResultsPage(handle) != 1 || context.entry == nullptr) return kDstResultNoEntry;
    return ParseLatestResult(context.output, *context.entry, mark);
}

DstRunMark SelfTestCommander::MarkRun(uint8_t code) const
{
    return MarkDstRun(DecodeDstResultsPage(resultsPage_.get()).value_or(std::vector<DstLogEntry>{}), code);
}

DstRunEntryState SelfTestCommander::RunEntryState(const DstRunMark& mark) const
{
    const auto entries = DecodeDstResultsPage(resultsPage_.get());
    return entries ? FindDstRunEntry(*entries, mark) : DstRunEntryState::None;
}

int SelfTestCommander::ParseLatestResult(OutputWindow* window, DeviceEntry& entry, const DstRunMark& mark)
{
    const auto entries = DecodeDstResultsPage(resultsPage_.get());
    if (!entries || FindDstRunEntry(*entries, mark) == DstRunEntryState::None) return kDstResultNoEntry;

    // The log keeps the newest entry first (SPC-4): the run's own.
    const DstLogEntry& chosen = entries->front();
    timeStamp_ = chosen.TimeStamp();
    if (DstOutcome* outcome = OutcomeFor(entry)) outcome->timeStamp = timeStamp_;

    const uint8_t result = chosen.Result();
    const char* text = g_selfTestResultText[result];
    if (result <= 2) {
        RecordResult(entry, result == 0 ? 1 : 0, text);
        ReportLine(window, text);
        return 1;
    }

    ReportLine(window, text);
    failingLbaHigh_ = chosen.FailingLbaHigh();
    failingLbaLow_ = chosen.FailingLbaLow();
    senseKey_ = chosen.SenseKey();
    asc_ = chosen.Asc();
    ascq_ = chosen.Ascq();
    fru_ = chosen.Fru();
    ReportValue(window, "Failing LBA High Order Bytes = ", failingLbaHigh_);
    ReportValue(window, "Failing LBA Low Order Bytes = ", failingLbaLow_);
    ReportHex(window, "Sense Key = ", senseKey_);
    ReportHex(window, "Sense Code = ", asc_);
    ReportHex(window, "Additional Sense Code = ", ascq_);
    ReportHex(window, "FRU Code = ", fru_);
    if (DstOutcome* outcome = OutcomeFor(entry)) {
        outcome->failingLbaHigh = failingLbaHigh_;
        outcome->failingLbaLow = failingLbaLow_;
        outcome->senseKey = senseKey_;
        outcome->asc = asc_;
        outcome->ascq = ascq_;
        outcome->fru = fru_;
    }
    RecordResult(entry, 2, text);
    return 0;
}

void SelfTestCommander::RecordRefusedStart(OutputWindow* window, DeviceEntry& entry) const
{
    const bool sensed = lastFailure_.ScsiStatus == kStatusCheckCondition;
    RecordWithoutEntry(window, entry, kDstRefusedText, sensed ? lastFailure_.SenseData : nullptr);
}

void SelfTestCommander::RecordNoEntry(OutputWindow* window, DeviceEntry& entry) const
{
    RecordWithoutEntry(window, entry, kDstNoEntryText, nullptr);
}

void SelfTestCommander::RecordWithoutEntry(OutputWindow* window, DeviceEntry& entry, const char* text,
                                           const uint8_t* sense) const
{
    ReportLine(window, text);
    if (sense != nullptr) ReportDriveSense(window);
    if (DstOutcome* outcome = OutcomeFor(entry)) {
        outcome->failingLbaHigh = kNoAddress;
        outcome->failingLbaLow = kNoAddress;
        const SenseCodes codes = sense ? ReadSenseCodes(sense, kSenseInfoLength) : SenseCodes{};
        outcome->senseKey = codes.senseKey;
        outcome->asc = codes.asc;
        outcome->ascq = codes.ascq;
        outcome->fru = sense ? sense[14] : 0;  // FIELD REPLACEABLE UNIT CODE
        outcome->timeStamp = 0;
    }
    RecordResult(entry, 2, text);
}

void SelfTestCommander::ReportDriveSense(OutputWindow* window) const
{
    if (lastFailure_.ScsiStatus != kStatusCheckCondition) return;
    const SenseCodes codes = ReadSenseCodes(lastFailure_.SenseData, kSenseInfoLength);
    ReportHex(window, "Sense Key = ", codes.senseKey);
    ReportHex(window, "Sense Code = ", codes.asc);
    ReportHex(window, "Additional Sense Code = ", codes.ascq);
}

void SelfTestCommander::DumpResultsPage() const
{
    const uint8_t* page = resultsPage_.get();
    if (!page) return;
    ReportLine(nullptr, StringPrintf("%02x %02x %02x %02x", page[0], page[1], page[2], page[3]).c_str());
    for (size_t k = 0; k < kDstEntryCount; ++k) {
        std::string line;
        for (size_t i = 0; i < kDstEntrySize; ++i) line += StringPrintf("%02x ", page[4 + kDstEntrySize * k + i]);
        ReportLine(nullptr, line.c_str());
    }
}

void SelfTestCommander::ReportForDrive(const DstDriveContext& context, const char* text) const
{
    const std::string prefix =
        context.path.empty() ? StringPrintf("for drive physicaldrive%u ", context.driveNumber)
                             : "for drive " + PathWithoutPrefix(context.path, context.pathPrefix) + " ";
    ReportLine(context.output, prefix.c_str(), text);
}
