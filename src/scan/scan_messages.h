#pragma once

#include <string>

#include "scan/scan_records.h"

// The scan's texts, the same in the workstation and on the command line.

// "READ", "VERIFY".
const char* MethodName(ScanMethod method);
// "LBA 1234: MEDIUM ERROR, ASC 11h, ASCQ 00h".
std::string FailureText(const ScanFailure& failure);
// "LBA 100 to 2047 (1948 blocks) not read: skipped, ...".
std::string GapText(const ScanGap& gap);
// One line of live progress: "37.2%  LBA 123456789  VERIFY  212.4 MB/s  12 min 40 s left  2 failed".
std::string ProgressText(const ScanProgress& progress);
// How the scan ended, in one line: "passed: ...", "stopped: resume from LBA ...".
std::string EndText(const ScanResult& result);
// The share of the range dealt with, 0 to 100.
double PercentDone(const ScanProgress& progress);
