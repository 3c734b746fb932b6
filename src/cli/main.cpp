// kestrion-cli: the workstation's operations without a display.
#include <CLI/CLI.hpp>

#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_context.h"

namespace {

// Every subcommand, in the order --help lists them.
const CliCommandFactory kCommands[] = {
    AddListCommand,
    AddInquiryCommand,
    AddTestCommand,
    AddDownloadCommand,
    AddSmartCommand,
    AddModesCommand,
    AddSelfTestCommand,
};

}  // namespace

int main(int argc, char** argv)
{
    CliContext context;
    CLI::App app{"Kestrion: diagnostics for SCSI/SAS disk drives", "kestrion-cli"};
    app.require_subcommand(1);
    std::string benchFile;
    auto* bench = app.add_option("--bench", benchFile,
                                 "Use the simulated test bench: the built-in one, or the bench FILE (JSON)")
                      ->expected(0, 1)
                      ->type_name("[FILE]");
    app.add_flag("--trace", context.trace, "Show discovery traces (stdout) and failed-command reports (stderr)");

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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitOk : kExitUsage;
    }
    if (bench->count() > 0) context.benchFile = benchFile;
    context.console = std::make_unique<Console>(context.trace);

    for (auto& [command, run] : commands)
        if (command->parsed()) return run(context);
    return kExitUsage;
}
