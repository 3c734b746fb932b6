#pragma once

#include <fcntl.h>

#include <string>

// Opens `path` with the open(2) `flags` (with O_CREAT it may create it) only
// when it names a regular file, and returns its descriptor, or -1 with an
// errno-style code. Nothing waits on the name first: a FIFO, a device or a
// socket given by mistake is refused (EINVAL, EISDIR for a folder) rather
// than left to hang the program, read without end or swallow what is written.
int OpenRegularFile(const std::string& path, int& errorCode, int flags = O_RDONLY);

// Why OpenRegularFile refused, in words for a message.
std::string OpenFailureReason(int errorCode);
