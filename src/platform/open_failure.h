#pragma once

#include <string>

// "cannot open PATH: why", for an errno-style code from opening a device,
// with what to do where the user can do something: a device nobody has
// ("see 'kestrion-cli list'"), or one the user may not open (run as root, or
// join the group that owns it).
std::string OpenFailureText(const std::string& path, int errorCode);
