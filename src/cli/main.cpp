// kestrion-cli: the workstation's operations without a display.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/cli_context.h"
#include "cli/drive_report.h"
#include "shell/device_table.h"
#include "shell/identity.h"

namespace {

int RunList(CliContext& context)
{
    if (const int status = context.Discover(); status != kExitOk) return status;
    std::ostream& out = context.console->out();
    if (context.json) {
        nlohmann::json drives = nlohmann::json::array();
        for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
            drives.push_back(DriveListJson(*entry));
        out << drives.dump(2) << '\n';
        return kExitOk;
    }
    if (FirstDevice() == nullptr) {
        out << "No drives found.\n";
        if (!context.benchFile) out << "(kestrion-cli --bench list shows the simulated test bench.)\n";
        return kExitOk;
    }
    PrintDriveListHeader(out);
    for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice()) PrintDriveListRow(out, *entry);
    return kExitOk;
}

int RunInquiry(CliContext& context, const std::string& drive)
{
    if (const int status = context.Discover(); status != kExitOk) return status;
    DeviceEntry* entry = context.FindDrive(drive);
    if (entry == nullptr) return kExitDeviceFailure;
    const bool answered = RefreshDriveIdentity(*context.catalog, *entry) == kIdentityOk;
    if (context.json) {
        nlohmann::json info = DeviceInfoJson(*entry);
        info["inquiryAnswered"] = answered;
        context.console->out() << info.dump(2) << '\n';
    } else {
        PrintDeviceInfo(context.console->out(), *entry);
    }
    if (!answered) {
        context.console->err() << "kestrion-cli: " << entry->path
                               << " did not answer INQUIRY; the values are those read at discovery\n";
        return kExitDeviceFailure;
    }
    return kExitOk;
}

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

    auto* list = app.add_subcommand("list", "List the drives found");
    list->add_flag("--json", context.json, "Machine-readable output");

    std::string drive;
    auto* inquiry = app.add_subcommand("inquiry", "Show a drive's identity, capacity and capability flags");
    inquiry->add_option("DRIVE", drive, "Device path or drive number")->required();
    inquiry->add_flag("--json", context.json, "Machine-readable output");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitOk : kExitUsage;
    }
    if (bench->count() > 0) context.benchFile = benchFile;
    context.console = std::make_unique<Console>(context.trace);

    if (list->parsed()) return RunList(context);
    return RunInquiry(context, drive);
}
