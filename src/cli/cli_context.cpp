#include "cli/cli_context.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "drives/device_table.h"
#include "drives/scan.h"
#include "platform/linux_catalog.h"
#include "scsi/drive_identity.h"
#include "sim/sim_catalog.h"

int CliContext::Discover()
{
    std::string error;
    catalog = benchFile ? MakeBenchCatalog(*benchFile, error) : MakeLinuxCatalog();
    if (!catalog) {
        console->err() << "kestrion-cli: " << error << '\n';
        return kExitUsage;
    }
    ScanScsiDevices(*catalog);
    if (FirstDevice() != nullptr) return kExitOk;

    // Nothing found: say whether the first listed device could not be opened at all.
    const std::vector<uint32_t> numbers = catalog->DriveNumbers();
    if (numbers.empty()) return kExitOk;
    const std::string first = catalog->PathPrefix() + catalog->PathStem() + std::to_string(numbers.front());
    int errorCode = 0;
    if (!catalog->Open(first, errorCode) && errorCode != ENOENT && errorCode != 0) {
        console->err() << "kestrion-cli: cannot open " << first << ": " << std::strerror(errorCode);
        if (errorCode == EACCES || errorCode == EPERM)
            console->err() << " (run as root, or as a member of the group that owns it)";
        console->err() << '\n';
        return kExitDeviceFailure;
    }
    return kExitOk;
}

DeviceEntry* CliContext::FindDrive(const std::string& drive)
{
    std::string path = drive;
    if (!drive.empty() && drive.find_first_not_of("0123456789") == std::string::npos)
        path = catalog->PathPrefix() + catalog->PathStem() + drive;
    for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
        if (entry->path == path) return entry;
    console->err() << "kestrion-cli: no drive " << path << " (see 'kestrion-cli list')\n";
    return nullptr;
}
