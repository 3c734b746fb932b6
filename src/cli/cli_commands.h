#pragma once

#include <functional>

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"

// A subcommand registers its options on the parent and returns what runs
// when it is chosen; the result is the exit status.
using CliRun = std::function<int(CliContext&)>;
using CliCommandFactory = CLI::App* (*)(CLI::App& parent, CliContext& context, CliRun& run);

CLI::App* AddListCommand(CLI::App& parent, CliContext& context, CliRun& run);
CLI::App* AddInquiryCommand(CLI::App& parent, CliContext& context, CliRun& run);
CLI::App* AddSelfTestCommand(CLI::App& parent, CliContext& context, CliRun& run);
CLI::App* AddDownloadCommand(CLI::App& parent, CliContext& context, CliRun& run);
CLI::App* AddSmartCommand(CLI::App& parent, CliContext& context, CliRun& run);
CLI::App* AddModesCommand(CLI::App& parent, CliContext& context, CliRun& run);
CLI::App* AddTestCommand(CLI::App& parent, CliContext& context, CliRun& run);
CLI::App* AddScanCommand(CLI::App& parent, CliContext& context, CliRun& run);
