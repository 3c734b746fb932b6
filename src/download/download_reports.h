#pragma once

#include <cstdint>
#include <string>

class UserPrompts;

// Message texts of a failed WRITE BUFFER piece.

// The prefix, "\nError %d:\n" with the code, and the system's text for it
// (at most 80 characters).
std::string LastErrorText(const std::string& prefix, int errorCode);
// The prefix, the status line and the sense heading, then the first
// `count` sense bytes as "%02X " each.
std::string ScsiFailureText(const std::string& prefix, uint8_t status, int count, const uint8_t* bytes);

// The same texts in a message box.
void ReportLastError(UserPrompts& prompts, const std::string& prefix, int errorCode);
void ReportScsiFailure(UserPrompts& prompts, const std::string& prefix, uint8_t status, int count,
                       const uint8_t* bytes);
