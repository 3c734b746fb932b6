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
