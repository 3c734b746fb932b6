#include "cli/cli_context.h"

#include <algorithm>
#include <cerrno>

#include "drives/device_table.h"
#include "drives/drive_lookup.h"
#include "drives/scan.h"
#include "platform/linux_catalog.h"
#include "platform/open_failure.h"
#include "sim/sim_catalog.h"

namespace {

int ExitStatusOf(LookupFailure failure)
{
    switch (failure) {
    case LookupFailure::None: return kExitOk;
    case LookupFailure::NotListed: return kExitDeviceFailure;
    case LookupFailure::Ambiguous: return kExitUsage;
    case LookupFailure::CannotReach: break;
    }
    return kExitCannotOpen;
}

DeviceEntry* EntryAt(const std::string& path)
{
    for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice())
        if (entry->path == path) return entry;
    return nullptr;
}

}  // namespace

int CliContext::OpenCatalog()
{
    std::string error;
    catalog = benchFile ? MakeBenchCatalog(*benchFile, error) : MakeLinuxCatalog();
    if (catalog) return kExitOk;
    console->Message(error);
    return kExitUsage;
}

int CliContext::DiscoverAll()
{
    if (const int status = OpenCatalog(); status != kExitOk) return status;
    ScanScsiDevices(*catalog);
    if (FirstDevice() != nullptr) return kExitOk;

    // Nothing found: say whether the first listed device could not be opened at all.
    const std::vector<uint32_t> numbers = catalog->DriveNumbers();
    if (numbers.empty()) return kExitOk;
    const std::string first = catalog->PathOf(numbers.front());
    int errorCode = 0;
    if (!catalog->Open(first, errorCode) && errorCode != ENOENT && errorCode != 0) {
        console->Message(OpenFailureText(first, errorCode));
        return kExitCannotOpen;
    }
    return kExitOk;
}

int CliContext::DiscoverNamed(const std::vector<std::string>& names, std::vector<DeviceEntry*>& drives)
{
    if (const int status = OpenCatalog(); status != kExitOk) return status;
    std::vector<uint32_t> numbers;
    for (const std::string& name : names) {
        const DriveLookup lookup = LookUpDrive(*catalog, name);
        if (!lookup.driveNumber) {
            console->Message(lookup.message);
            return ExitStatusOf(lookup.failure);
        }
        numbers.push_back(*lookup.driveNumber);
    }
    ScanDrives(*catalog, numbers);

    for (uint32_t number : numbers) {
        const std::string path = catalog->PathOf(number);
        if (DeviceEntry* entry = EntryAt(path)) {
            if (std::find(drives.begin(), drives.end(), entry) == drives.end()) drives.push_back(entry);
            continue;
        }
        // Not taken by discovery: a device that is not there or not ours to
        // open is told apart from one that opens but is no disk drive.
        int errorCode = 0;
        if (!catalog->Open(path, errorCode)) {
            console->Message(OpenFailureText(path, errorCode));
            return kExitCannotOpen;
        }
        console->Message(path + " opens, but is not among the drives found (see 'kestrion-cli list')");
        return kExitDeviceFailure;
    }
    return kExitOk;
}

std::optional<uint32_t> DriveNumberOf(const DeviceCatalog& catalog, const DeviceEntry& entry)
{
    return catalog.DriveNumberOfPath(entry.path);
}
