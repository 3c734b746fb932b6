#include "scsi/drive_identity.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#include "scsi/report.h"

int FormatDevicePath(const DriveIdentity& identity, char* buffer, size_t size)
{
    if (buffer == nullptr || size == 0) return -1;
    if (identity.deviceName.empty()) {
        const int written = std::snprintf(buffer, size, "%s%s%u", identity.pathPrefix.c_str(),
                                          identity.pathStem.c_str(), identity.driveNumber);
        if (written < 0 || static_cast<size_t>(written) >= size) return -1;
        return written;
    }
    // The name, its prefix and the terminator must fit.
    if (identity.deviceName.size() + identity.pathPrefix.size() + 1 > size) return -1;
    return std::snprintf(buffer, size, "%s%s", identity.pathPrefix.c_str(), identity.deviceName.c_str());
}

void ReportDevicePath(const DriveIdentity& identity, int quiet)
{
    char path[100];
    if (FormatDevicePath(identity, path, sizeof path) < 0) std::strcpy(path, "device name error");
    if (g_bLogToClog) std::clog << path << std::endl;
    if (quiet == 0) std::cout << path << std::endl;
}
