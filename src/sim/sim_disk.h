#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "sim/sim_command.h"
#include "sim/sim_drive_config.h"
#include "sim/sim_selftest.h"
#include "sim/sim_sense.h"
#include "sim/sparse_medium.h"

class Clock;
class SimMediaPacer;

// A simulated SCSI direct-access logical unit, answering as SPC-4 and SBC-3
// describe. It knows nothing of the program's request record: a command is
// a CDB, a data direction and a buffer, the answer a status, a data-in count
// and sense bytes. Commands from several threads are served one at a time.
class SimDisk {
public:
    explicit SimDisk(const SimDriveConfig& config);

    // Runs one command. timeOutSeconds bounds an injected hang: at the
    // time-out the call fails, as the host adapter ends a command the
    // drive never answered.
    SimResult Execute(const uint8_t* cdb, size_t cdbLength, SimDirection direction, uint8_t* buffer,
                      uint32_t bufferLength, uint32_t timeOutSeconds);

    // Standard INQUIRY data in full, as the adapter saw it at its bus scan.
    std::vector<uint8_t> StandardInquiryData() const;

    const SimDriveConfig& Config() const { return config_; }

    // Bench and test controls.
    void AddFault(const SimFault& fault);
    void ClearFaults();
    void SetNotReady(uint32_t mediaCommands);
    void RaiseUnitAttention(uint8_t asc, uint8_t ascq);
    void SetDescriptorSense(bool descriptor);
    // Time source of an injected hang's time-out; null is real time.
    void SetHangClock(Clock* clock);
    // The drive answers every command hanging now: each then runs.
    void ReleaseHangs();
    // Time source of the restart after a microcode download (sim_buffer.cpp);
    // null is real time.
    void SetRestartClock(Clock* clock);
    // Time source of the self-tests (sim_selftest.cpp); null is real time.
    // Power-on hours count from the moment it is set.
    void SetSelfTestClock(Clock* clock);
    void MarkUnwritable(uint64_t lba);
    // sim_media.cpp: a block that stops reading (until written), and the
    // time base of the media rate and latency; null is real time.
    void MarkUnreadable(uint64_t lba);
    void SetMediaPacer(SimMediaPacer* pacer);

    // State, for tests.
    bool IsStopped() const;
    uint32_t NotReadyRemaining() const;
    size_t PendingUnitAttentions() const;
    uint64_t CommandsReceived() const;
    // The CDBs of the last commands received, oldest first (at most 64).
    std::vector<std::vector<uint8_t>> RecentCdbs() const;
    size_t StoredBlocks() const;
    std::vector<uint8_t> ReadMedium(uint64_t lba, uint32_t blocks) const;
    // sim_buffer.cpp: the last microcode image the drive took, how many it
    // took, and whether it is restarting on the last one.
    std::vector<uint8_t> MicrocodeImage() const;
    uint32_t MicrocodeImagesTaken() const;
    bool Restarting() const;

private:
    using Handler = void (SimDisk::*)(SimCommand&);
    struct CommandEntry {
        Handler handler = nullptr;
        bool needsReady = false;        // refused while stopped or becoming ready
        bool passesUnitAttention = false;  // INQUIRY, REQUEST SENSE (SAM-5)
    };
    using CommandTable = std::array<CommandEntry, 256>;
    static const CommandTable& Commands();

    struct FaultState {
        SimFault fault;
        uint32_t fired = 0;
    };
    // Where in a command's life a fault acts: before it reaches the drive,
    // in place of it (a status, then sense after any unit attention), or on
    // a command that runs.
    enum class FaultStage { Transport, Status, Sense, Completion };
    static FaultStage StageOf(SimFault::Action action);

    // sim_inquiry.cpp
    void Inquiry(SimCommand& command);
    std::vector<uint8_t> VpdPage(uint8_t pageCode) const;
    // sim_capacity.cpp
    void ReadCapacity10(SimCommand& command);
    void ServiceActionIn16(SimCommand& command);
    void ReadCapacity16(SimCommand& command);
    // sim_readiness.cpp
    void TestUnitReady(SimCommand& command);
    void RequestSense(SimCommand& command);
    void StartStopUnit(SimCommand& command);
    std::optional<SimSense> NotReadyCondition(bool consume);
    // sim_media.cpp
    void Read10(SimCommand& command);
    void Read16(SimCommand& command);
    void WriteAndVerify10(SimCommand& command);
    void WriteAndVerify16(SimCommand& command);
    void Verify10(SimCommand& command);
    void Verify16(SimCommand& command);
    void ReadBlocks(SimCommand& command, uint64_t lba, uint32_t blocks);
    void WriteAndVerifyBlocks(SimCommand& command, uint64_t lba, uint32_t blocks);
    void VerifyBlocks(SimCommand& command, uint64_t lba, uint32_t blocks);
    bool CompareBlocks(SimCommand& command, uint64_t lba, uint32_t blocks, const uint8_t* data);
    bool CheckNoProtection(SimCommand& command);
    bool CheckRange(SimCommand& command, uint64_t lba, uint64_t blocks);

    // sim_selftest.cpp: the parameters of the self-test results log page
    // (10h, SPC-4), newest first; empty when the drive keeps no such log.
    std::vector<uint8_t> SelfTestResultsLogParameters() const;

    void Process(SimCommand& command, uint64_t commandIndex);
    FaultState* FindFault(FaultStage stage, uint8_t opcode, uint64_t commandIndex);
    std::optional<SimFault> TakeFault(FaultStage stage, uint8_t opcode, uint64_t commandIndex);
    // When a hung command was received, on the hang clock (or real time)
    // and by the count of releases.
    struct HangStart {
        Clock* clock = nullptr;
        int64_t clockSeconds = 0;
        std::chrono::steady_clock::time_point steady;
        uint64_t releases = 0;
    };
    bool AwaitAnswer(uint32_t timeOutSeconds, std::optional<uint32_t> hangSeconds, const HangStart& start) const;
    SimResult Finish(const SimCommand& command) const;

    const SimDriveConfig config_;
    mutable std::mutex mutex_;
    SparseMedium medium_;
    std::vector<FaultState> faults_;
    std::deque<SimSense> unitAttentions_;
    bool stopped_ = false;
    uint32_t notReadyRemaining_ = 0;
    bool descriptorSense_ = false;
    uint64_t commandsReceived_ = 0;
    std::deque<std::vector<uint8_t>> recentCdbs_;
    Clock* hangClock_ = nullptr;
    std::atomic<uint64_t> hangReleases_{0};

    // sim_diagnostics.cpp: SEND DIAGNOSTIC, RECEIVE DIAGNOSTIC RESULTS and
    // the translate address page; the page the last SEND DIAGNOSTIC
    // prepared for RECEIVE DIAGNOSTIC RESULTS.
    void SendDiagnostic(SimCommand& command);
    void ReceiveDiagnosticResults(SimCommand& command);
    void RunSelfTestCode(SimCommand& command, uint8_t code, int64_t now);
    void TakeDiagnosticPage(SimCommand& command, const uint8_t* list, uint16_t listLength);
    void TranslateAddress(SimCommand& command, const uint8_t* page);
    std::vector<uint8_t> SupportedDiagnosticPages() const;
    std::optional<std::vector<uint8_t>> diagnosticResult_;
    // sim_selftest.cpp: the self-test machinery on its clock, and the
    // REQUEST SENSE data of a running background self-test (none when no
    // test runs).
    int64_t SelfTestNow() const;
    std::optional<std::vector<uint8_t>> SelfTestProgressSense(bool descriptor);
    Clock* selfTestClock_ = nullptr;
    SimSelfTestUnit selfTest_{config_.selfTest, SelfTestNow()};

    // sim_mode_pages.cpp: MODE SENSE(6) and MODE SELECT(6). The current
    // informational exceptions control values, for the handlers that raise
    // informational exceptions (call with mutex_ held, as handlers are).
    void ModeSense6(SimCommand& command);
    void ModeSelect6(SimCommand& command);
    SimInformationalExceptions InformationalExceptionsControl() const;
    SimModePages modePages_{config_.modePages, config_.blocks, config_.blockLength, config_.descriptorSense,
                            config_.geometry ? &*config_.geometry : nullptr};

    // sim_buffer.cpp: READ BUFFER and WRITE BUFFER (SPC-4).
    void ReadBuffer(SimCommand& command);
    void WriteBuffer(SimCommand& command);
    void WriteDataBuffer(SimCommand& command);
    void DownloadMicrocode(SimCommand& command);
    bool CheckBufferOffset(SimCommand& command, uint32_t offset) const;
    std::optional<std::string> RevisionOfImage(const std::vector<uint8_t>& image) const;
    void RestartOnMicrocode();
    // The restart on new microcode: ended (and reported) once its time is
    // up; while it lasts, the answer to commands that need the unit.
    void SettleRestart();
    std::optional<SimSense> RestartCondition() const;
    int64_t RestartNow() const;
    std::vector<uint8_t> dataBuffer_;        // allocated at the first write
    std::vector<uint8_t> microcodePending_;  // the pieces of an image received so far
    uint32_t microcodePieces_ = 0;
    std::vector<uint8_t> microcodeImage_;    // the last image taken
    uint32_t microcodeImagesTaken_ = 0;
    std::string revision_{config_.revision};  // what INQUIRY reports now
    bool restarting_ = false;
    int64_t restartEndsAt_ = 0;
    Clock* restartClock_ = nullptr;

    // sim_log_pages.cpp: LOG SENSE, LOG SELECT (SPC-4) and the vendor
    // SMART command DFh; the log counters and what was last reported.
    void LogSense(SimCommand& command);
    void LogSelect(SimCommand& command);
    void VendorSmartCommand(SimCommand& command);
    std::vector<uint8_t> SupportedLogPages() const;
    bool KeepsLogPage(uint8_t pageCode) const;
    std::vector<SimLogParameter> LogParameters(uint8_t pageCode, uint8_t pageControl) const;
    SimLogState logState_{config_.logs};

    // sim_media.cpp and sim_defects.cpp: the media model (unreadable
    // blocks, rate, latency) and READ DEFECT DATA (10).
    void ReadDefectData10(SimCommand& command);
    void PaceMedia(uint64_t bytes);
    std::set<uint64_t> unreadable_{config_.media.unreadableBlocks.begin(), config_.media.unreadableBlocks.end()};
    SimMediaPacer* mediaPacer_ = nullptr;
    int64_t mediaBusyUntil_ = 0;
};
