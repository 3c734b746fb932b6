#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class UserPrompts;
struct DeviceEntry;

// The self-test log file: comma-separated rows, one per drive and phase,
// accumulating across runs. Its bytes are those of the files the program
// has always written (text mode of a platform that stores "\n" as CR LF),
// so files from any machine can be joined.

// The file chosen by the user; after a successful write, the path used.
// Only the user-interface (or command-line) thread touches it.
extern std::string g_strDstLogPath;
// Used while nothing is chosen: a bare name, so in the current directory.
inline constexpr const char* g_strDstDefaultLog = "DSTest.log";

inline constexpr const char* kDstLogHeader =
    "Product ID, Serial#, Test Type, Test Completion Status, Begin Time, End Time, Time Stamp, "
    "LBA of First Failure, SK, ASC, ASCQ, FRU";
inline constexpr const char* kDstLogLineEnd = "\r\n";

enum class DstKind { Quick, Advanced };

// "Www Mmm dd hh:mm:ss yyyy" of local time; empty when the time cannot be
// converted or was never recorded (0).
std::string FormatDstTime(time_t time);

// One row's text, without the line end that precedes it in the file.
std::string ComposeDstLogRow(const DeviceEntry& entry, DstKind kind);

// The log path in force: the chosen one or the default.
std::string DstLogPathInUse();

// The header line, for an empty file: appended to the bytes about to be
// written, so header and rows reach the file together or not at all.
void WriteLogHeader(std::string& bytes);

// Appends the rows, each after a line end, to the file at path, creating
// it and writing the header first when it is empty. All or nothing: on a
// failure the file is left as it was and error says why.
bool AppendDstLogRows(const std::string& path, const std::vector<std::string>& rows, std::string& error);

// Opens (creating) the file at path and gives an empty one its header.
bool PrepareDstLogFile(const std::string& path, std::string& error);

// Command 32794: asks for the log file ("Select DST Log File"), prepares
// it and remembers it. A file that cannot be used is reported and the
// previous choice stays.
void OnSelectDstLogFile(UserPrompts& prompts);

// The message box of a log file that cannot be written.
inline constexpr const char* kDstLogErrorCaption = "DST Log File";
