#pragma once

#include <string>

#include <CLI/CLI.hpp>

// An empty value (a script's unset variable, say) would read as an option
// left out and mean something else: the whole quick suite for --subtests,
// every page for --page, the default log for --log. Every option and
// argument that takes text refuses it.
inline const CLI::Validator kNotEmpty(
    [](const std::string& value) { return value.empty() ? std::string("the value is empty") : std::string(); }, "",
    "NOT EMPTY");

// What a DRIVE argument takes, for every command's help.
inline constexpr const char* kDriveHelp =
    "The drive: its number or device path as list shows them, /dev/sdX, a /dev/disk/by-id or by-path link, "
    "its world wide name (naa.…) or its serial number";
