#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The fourteen subtests in their fixed order. The index is the contract
// between the selection dialog, the presets, the command line and the
// engine, which runs them in index order.
inline constexpr int kSubtestCount = 14;

inline constexpr int kSubtestDriveReady = 0;
inline constexpr int kSubtestRam = 1;
inline constexpr int kSubtestFormatCheck = 2;
inline constexpr int kSubtestDiagnostics = 3;
inline constexpr int kSubtestSmartCheck = 4;
inline constexpr int kSubtestPhysicalHeads = 5;
inline constexpr int kSubtestErrorLog = 6;
inline constexpr int kSubtestRandomVerify = 7;
inline constexpr int kSubtestFirst300MB = 8;
inline constexpr int kSubtestLast100MB = 9;
inline constexpr int kSubtestDefectAdjacent = 10;
inline constexpr int kSubtestEntireScan = 11;
inline constexpr int kSubtestErrorLogRecheck = 12;
inline constexpr int kSubtestSmartRecheck = 13;

// One run flag per subtest; nonzero means "run".
struct SubtestSelection {
    std::array<int32_t, kSubtestCount> run{};

    bool Runs(int index) const { return index >= 0 && index < kSubtestCount && run[static_cast<size_t>(index)] != 0; }
    bool operator==(const SubtestSelection&) const = default;
};

// A row of the selection dialog (template 133).
struct SubtestInfo {
    int checkBoxId;
    const char* label;
};

// The fourteen rows in index order; there is no check box 1035.
std::span<const SubtestInfo, kSubtestCount> Subtests();

// Command 101: everything but the scan of the entire drive.
SubtestSelection QuickSelection();
// Command 102: all fourteen.
SubtestSelection LongSelection();
// Command 32778 at program start: drive ready, RAM, format check,
// diagnostics and the scan of the entire drive.
SubtestSelection CustomSelectionAtStart();

// "0,4,11" (indexes, in any order, each once) into a selection. False with a
// message naming the offending item.
bool ParseSubtestList(std::string_view text, SubtestSelection& selection, std::string& error);
