// kestrion-cli: the workstation's operations without a display.
#include <csignal>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/cli_commands.h"
#include "cli/cli_context.h"
#include "cli/json_output.h"

namespace {

// Every subcommand, in the order --help lists them.
const CliCommandFactory kCommands[] = {
    AddListCommand,
    AddInquiryCommand,
    AddTestCommand,
    AddScanCommand,
    AddDownloadCommand,
    AddSmartCommand,
    AddModesCommand,
    AddSelfTestCommand,
};

// "--bench" alone is the built-in bench, and CLI11 hands an empty FILE over
// just the same: an unset variable in a script must not turn into it.
bool EmptyBenchFile(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--bench=") return true;
        if (argument == "--bench" && i + 1 < argc && argv[i + 1][0] == '\0') return true;
        // The program's own options end where the command begins.
        if (!argument.starts_with('-')) return false;
    }
    return false;
}

// Asked before parsing, so that bad usage answers in JSON too.
bool JsonAsked(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--json") return true;
    return false;
}

// The command a failed parse was about: the first argument that names one.
std::optional<std::string> CommandNamed(const CLI::App& app, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->get_name() == argv[i]) return command->get_name();
    return std::nullopt;
}

// Bad usage before any command ran: with --json, the document saying so.
int UsageFailure(const CLI::App& app, int argc, char** argv, const std::string& message)
{
    if (JsonAsked(argc, argv))
        std::cout << JsonText(JsonEnvelope(CommandNamed(app, argc, argv), kExitUsage, {message}, Json::object()));
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    // A reader that went away (a pipe into head) must not end a run between
    // a change to a drive and its put-back: writes to it fail quietly, the
    // run goes on, and the exit status still tells.
    std::signal(SIGPIPE, SIG_IGN);
    CliContext context;
    CLI::App app{"Kestrion: diagnostics for SCSI/SAS disk drives", "kestrion-cli"};
    app.require_subcommand(1);
    std::string benchFile;
    auto* bench = app.add_option("--bench", benchFile,
                                 "Use the simulated test bench: the built-in one, or the bench FILE (JSON)")
                      ->expected(0, 1)
                      ->type_name("[FILE]");
    app.add_flag("--trace", context.trace, "Show discovery traces (stdout) and failed-command reports (stderr)");
    app.set_version_flag("--version", "kestrion-cli " KESTRION_VERSION, "Print the version and exit");

    struct Registered {
        CLI::App* command;
        CliRun run;
    };
    std::vector<Registered> commands;
    for (CliCommandFactory factory : kCommands) {
        CliRun run;
        CLI::App* command = factory(app, context, run);
        commands.push_back({command, std::move(run)});
    }

    if (EmptyBenchFile(argc, argv)) {
        const std::string message = "--bench: the file name is empty (--bench alone is the built-in bench)";
        std::cerr << "kestrion-cli: " << message << '\n';
        return UsageFailure(app, argc, argv, message);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help and version are asked for, not failures.
        if (app.exit(error) == static_cast<int>(CLI::ExitCodes::Success)) return kExitOk;
        return UsageFailure(app, argc, argv, error.what());
    }
    if (bench->count() > 0) context.benchFile = benchFile;
    context.console = std::make_unique<Console>(context.trace, context.json);

    for (auto& [command, run] : commands) {
        if (!command->parsed()) continue;
        const int status = run(context);
        if (context.json)
            context.console->out() << JsonText(
                JsonEnvelope(command->get_name(), status, context.console->Messages(), context.result));
        return status;
    }
    return kExitUsage;
}
