#pragma once

#include <string>

// Opens an existing regular file for reading and returns its descriptor,
// or -1 with an errno-style code. Nothing waits on the name first: a FIFO,
// a device or a socket given by mistake is refused (EINVAL, EISDIR for a
// folder) rather than left to hang the program or read without end.
int OpenRegularFile(const std::string& path, int& errorCode);

// Why OpenRegularFile refused, in words for a message.
std::string OpenFailureReason(int errorCode);
