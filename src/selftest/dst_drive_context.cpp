#include "selftest/dst_drive_context.h"

#include "drives/device_entry.h"

DstDriveContext MakeDstDriveContext(DeviceEntry& entry, OutputWindow* output, const std::string& pathPrefix)
{
    DstDriveContext context;
    context.path = entry.path;
    context.entry = &entry;
    context.output = output;
    context.pathPrefix = pathPrefix;
    // The drive number is the path's trailing digits.
    size_t digits = context.path.size();
    while (digits > 0 && context.path[digits - 1] >= '0' && context.path[digits - 1] <= '9') --digits;
    for (size_t i = digits; i < context.path.size() && i < digits + 9; ++i)
        context.driveNumber = context.driveNumber * 10 + static_cast<uint32_t>(context.path[i] - '0');
    return context;
}

std::string PathWithoutPrefix(const std::string& path, const std::string& pathPrefix)
{
    if (!pathPrefix.empty() && path.compare(0, pathPrefix.size(), pathPrefix) == 0) return path.substr(pathPrefix.size());
    return path;
}
