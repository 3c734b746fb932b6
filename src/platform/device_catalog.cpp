#include "platform/device_catalog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace {

// Drive numbers stay below 1000; a longer number names none.
constexpr size_t kMaxDriveDigits = 9;

bool StartsWithIgnoringCase(const std::string& text, const std::string& head)
{
    if (text.size() < head.size()) return false;
    return std::equal(head.begin(), head.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

}  // namespace

std::optional<uint32_t> DeviceCatalog::DriveNumberOfPath(const std::string& path) const
{
    const std::string head = PathPrefix() + PathStem();
    if (!StartsWithIgnoringCase(path, head)) return std::nullopt;
    const std::string digits = path.substr(head.size());
    if (digits.empty() || digits.size() > kMaxDriveDigits) return std::nullopt;
    if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
    uint32_t number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    return number;
}

std::string DeviceCatalog::PathOf(uint32_t driveNumber) const
{
    return PathPrefix() + PathStem() + std::to_string(driveNumber);
}

PathLookup DeviceCatalog::FindPath(const std::string& path) const
{
    PathLookup lookup;
    const std::optional<uint32_t> number = DriveNumberOfPath(path);
    const std::vector<uint32_t> listed = DriveNumbers();
    if (number && std::find(listed.begin(), listed.end(), *number) != listed.end())
        lookup.driveNumber = number;
    else
        lookup.errorCode = ENOENT;
    return lookup;
}
