#include <memory>
#include <ostream>
#include <string>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "cli/drive_report.h"
#include "drives/device_table.h"
#include "drives/identity.h"

CLI::App* AddListCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* list = parent.add_subcommand("list", "List the drives found");
    list->add_flag("--json", context.json, "Machine-readable output");
    run = [](CliContext& context) {
        if (const int status = context.DiscoverAll(); status != kExitOk) return status;
        if (context.json) {
            Json drives = Json::array();
            for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
                drives.push_back(DriveJson(*context.catalog, *entry));
            context.result["drives"] = std::move(drives);
            return kExitOk;
        }
        std::ostream& out = context.console->out();
        if (FirstDevice() == nullptr) {
            out << "No drives found.\n";
            if (!context.benchFile) out << "(kestrion-cli --bench list shows the simulated test bench.)\n";
            return kExitOk;
        }
        const size_t serialWidth = SerialColumnWidth();
        PrintDriveListHeader(out, serialWidth);
        for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
            PrintDriveListRow(out, *entry, serialWidth);
        return kExitOk;
    };
    return list;
}

CLI::App* AddInquiryCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* inquiry = parent.add_subcommand("inquiry", "Show a drive's identity, capacity and capability flags");
    auto drive = std::make_shared<std::string>();
    inquiry->add_option("DRIVE", *drive, kDriveHelp)->required()->check(kNotEmpty);
    inquiry->add_flag("--json", context.json, "Machine-readable output");
    run = [drive](CliContext& context) {
        std::vector<DeviceEntry*> drives;
        if (const int status = context.DiscoverNamed({*drive}, drives); status != kExitOk) return status;
        DeviceEntry& entry = *drives.front();
        const bool answered = RefreshDriveIdentity(*context.catalog, entry) == kIdentityOk;
        if (context.json) {
            context.result = DeviceInfoJson(*context.catalog, entry);
            context.result["inquiry_answered"] = answered;
        } else {
            PrintDeviceInfo(context.console->out(), entry);
        }
        if (!answered) {
            context.console->Message(entry.path + " did not answer INQUIRY; the values are those read at discovery");
            return kExitDeviceFailure;
        }
        return kExitOk;
    };
    return inquiry;
}
