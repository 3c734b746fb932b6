#include "ui/scan/scan_board.h"

#include <utility>

#include "drives/run_pace.h"
#include "scan/scan_messages.h"

ScanBoard::ScanBoard(std::vector<std::string> names) : names(std::move(names)), rows(this->names.size()) {}

void ScanBoard::AddNote(size_t drive, const std::string& text)
{
    std::lock_guard lock(mutex);
    notes.push_back(names[drive] + ": " + text);
}

void ScanBoard::ScanStarted(size_t drive, const ScanPlan& plan)
{
    AddNote(drive, "LBA " + std::to_string(plan.range.first) + " to " + std::to_string(plan.range.last) + ", " +
                       std::to_string(plan.transferBlocks) + " blocks of " + std::to_string(plan.blockLength) +
                       " bytes a command");
}

void ScanBoard::MethodChosen(size_t drive, ScanMethod method, const std::optional<MethodSample>& sample)
{
    std::string text = std::string("by ") + MethodName(method);
    if (sample)
        text += " (samples: READ " + RateText(sample->readBytesPerSecond) + ", VERIFY " +
                RateText(sample->verifyBytesPerSecond) + ")";
    AddNote(drive, text);
    std::lock_guard lock(mutex);
    rows[drive].method = method;
}

void ScanBoard::ScanProgressed(size_t drive, const ScanProgress& progress)
{
    std::lock_guard lock(mutex);
    rows[drive].progress = progress;
}

void ScanBoard::BlockFailed(size_t drive, const ScanFailure& failure) { AddNote(drive, FailureText(failure)); }

void ScanBoard::BlocksNotRead(size_t drive, const ScanGap& gap) { AddNote(drive, GapText(gap)); }

void ScanBoard::ScanEnded(size_t drive, const ScanResult& result)
{
    AddNote(drive, EndText(result));
    std::lock_guard lock(mutex);
    rows[drive].result = result;
}

std::vector<ScanBoard::Row> ScanBoard::Rows() const
{
    std::lock_guard lock(mutex);
    return rows;
}

std::vector<std::string> ScanBoard::TakeNotes()
{
    std::lock_guard lock(mutex);
    return std::exchange(notes, {});
}
