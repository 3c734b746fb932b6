#pragma once

#include <atomic>
#include <cstdint>

class OutputWindow;

// Mirrors the running report to clog as well. Nothing of the program sets
// it; a front end may.
extern std::atomic<bool> g_bLogToClog;

// The report functions write to std::cout / std::clog / std::cerr, so a
// front end redirects them by swapping those streams' buffers.
int AppendOutputText(OutputWindow* window, const char* text);
void ReportLine(OutputWindow* window, const char* text, const char* second = nullptr);
void ReportBlock(OutputWindow* window, const char* text);
void ReportHex(OutputWindow* window, const char* label, uint32_t value);
void ReportValue(OutputWindow* window, const char* label, uint32_t value);
void ReportHexDump(const char* title, const uint8_t* data, uint16_t length);
void ReportStringDump(const char* text);
