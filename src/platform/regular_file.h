#pragma once

#include <string>

// Opens `path` with the open(2) `flags` (with O_CREAT it may create it) only
// when it names a regular file: a FIFO would block the open, or every read
// and write after it, for ever, and a device or a folder is never what the
// user meant. Returns the descriptor, or -1 with an errno-style code:
// EISDIR for a folder, EINVAL for anything else that is not a regular file.
int OpenRegularFile(const std::string& path, int flags, int& errorCode);

// The system's words for such a code; EINVAL says the path is not a regular file.
std::string OpenErrorText(int errorCode);
