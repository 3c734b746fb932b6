#include "scsi/report.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "scsi/output_window.h"
#include "scsi/string_format.h"

std::atomic<bool> g_bLogToClog{false};

namespace {

bool LogToClog() { return g_bLogToClog.load(std::memory_order_relaxed); }

void WriteBoth(const std::string& text)
{
    std::cout << text;
    std::cout.flush();
    if (LogToClog()) {
        std::clog << text;
        std::clog.flush();
    }
}

}  // namespace

int AppendOutputText(OutputWindow* window, const char* text)
{
    if (window == nullptr || text == nullptr) return 0;
    window->Append(text);
    return 0;
}

void ReportLine(OutputWindow* window, const char* text, const char* second)
{
    if (text == nullptr) text = "";
    if (window != nullptr) {
        AppendOutputText(window, text);
        if (second != nullptr) AppendOutputText(window, second);
        AppendOutputText(window, "\r\n");
    }
    std::cout << text;
    if (second != nullptr) std::cout << second;
    std::cout << std::endl;
    if (LogToClog()) {
        std::clog << text;
        if (second != nullptr) std::clog << second;
        std::clog << std::endl;
    }
}

void ReportBlock(OutputWindow* window, const char* text)
{
    const std::string framed = std::string("\r\n") + (text ? text : "") + "\r\n";
    AppendOutputText(window, framed.c_str());
    std::cout << framed << std::endl;
    if (LogToClog()) std::clog << framed << std::endl;
}

void ReportHex(OutputWindow* window, const char* label, uint32_t value)
{
    const std::string line = StringPrintf("%s  %x\r\n", label ? label : "", value);
    if (window != nullptr) {
        AppendOutputText(window, line.c_str());
        return;
    }
    WriteBoth(line);
}

void ReportValue(OutputWindow* window, const char* label, uint32_t value)
{
    const std::string line =
        StringPrintf("%s  %lx %lu.\r\n", label ? label : "", static_cast<unsigned long>(value), static_cast<unsigned long>(value));
    AppendOutputText(window, line.c_str());
    WriteBoth(line);
}

void ReportHexDump(const char* title, const uint8_t* data, uint16_t length)
{
    std::string header = StringPrintf("%s\n", title ? title : "");
    header += StringPrintf("Data Length=%d or %Xh\n", static_cast<int>(length), static_cast<unsigned>(length));
    std::string lines;
    std::string hex;
    std::string chars;
    auto flushLine = [&](int first, int done) {
        lines += StringPrintf("%4d %4d %s%s\n", first, done, hex.c_str(), chars.c_str());
        hex.clear();
        chars.clear();
    };
    for (int i = 0; i < length && data != nullptr; ++i) {
        const uint8_t byte = data[i];
        hex += StringPrintf("%02x ", static_cast<unsigned>(byte));
        const bool printable = (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        chars += printable ? static_cast<char>(byte) : '.';
        if (i % 16 == 15) flushLine(i - 15, i + 1);
    }
    if (length % 16 != 0 && data != nullptr) flushLine(length - length % 16, length);

    std::cout << header << lines;
    std::cout.flush();
    if (LogToClog()) {
        std::cerr << header << lines;
        std::cerr.flush();
    }
}

void ReportStringDump(const char* text)
{
    if (text == nullptr) text = "";
    std::cout << text << std::endl;
    // A fixed 200-byte copy, as traced since the first version; a longer
    // string is cut (keeping its terminator) instead of overflowing.
    char copy[200] = {};
    std::strncpy(copy, text, sizeof copy - 1);
    std::string dump;
    for (size_t i = 0; i < sizeof copy; ++i) {
        dump += StringPrintf("%x ", static_cast<unsigned>(static_cast<int>(static_cast<signed char>(copy[i]))));
        if (i % 16 == 15) dump += '\n';
    }
    dump += '\n';
    std::cout << dump;
    std::cout.flush();
}
