#pragma once

#include <atomic>

class OutputWindow;
class TestContext;

// Set by the first successful reset of the drives' cumulative log
// parameters in this program run and never cleared: only the first
// error-log check of a run, on whichever drive, resets; later checks read.
extern std::atomic<int> g_bLogCountersReset;

inline constexpr int kErrorCountersPass = 0;
inline constexpr int kErrorCountersResetFailed = 1;
inline constexpr int kErrorCountersFailed = -1;

// The changed-parameter amount above which a page asks for a full scan.
inline constexpr int kErrorCountLimit = 100;

// "Error Log Pages" and "Re-check Error Log Pages": the first call of the
// program run resets the log parameters (LOG SELECT with PCR); later calls
// read pages 02h, 03h and 05h with PPC and fail on a changed amount above
// 100. 0 pass, nonzero failure.
int CheckErrorCounterPages(OutputWindow* output, TestContext& context);
