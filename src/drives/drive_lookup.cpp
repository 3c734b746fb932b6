#include "drives/drive_lookup.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <vector>

#include "drives/identity.h"
#include "platform/open_failure.h"
#include "scsi/builders.h"
#include "scsi/inquiry_data.h"

namespace {

constexpr const char* kSeeList = " (see 'kestrion-cli list')";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool StartsWith(const std::string& text, const char* head) { return text.rfind(head, 0) == 0; }

bool LooksLikeWorldWideName(const std::string& name)
{
    const std::string lower = Lower(name);
    return StartsWith(lower, "naa.") || StartsWith(lower, "eui.") || StartsWith(lower, "0x");
}

// "0x" and the digits is how other tools print an NAA or EUI-64 name.
bool SameWorldWideName(const std::string& given, const std::string& known)
{
    const std::string a = Lower(Trimmed(given));
    const std::string b = Lower(Trimmed(known));
    if (a == b) return true;
    if (!StartsWith(a, "0x")) return false;
    const std::string digits = a.substr(2);
    return !digits.empty() && (b == "naa." + digits || b == "eui." + digits);
}

bool Fits(const DriveIdentifiers& identifiers, const std::string& name, bool byWorldWideName)
{
    if (byWorldWideName)
        return std::any_of(identifiers.worldWideNames.begin(), identifiers.worldWideNames.end(),
                           [&](const std::string& known) { return SameWorldWideName(name, known); });
    const std::string wanted = Trimmed(name);
    return std::any_of(identifiers.serials.begin(), identifiers.serials.end(),
                       [&](const std::string& serial) { return Trimmed(serial) == wanted; });
}

DriveLookup Failed(LookupFailure failure, std::string message)
{
    DriveLookup lookup;
    lookup.failure = failure;
    lookup.message = std::move(message);
    return lookup;
}

DriveLookup Found(uint32_t driveNumber)
{
    DriveLookup lookup;
    lookup.driveNumber = driveNumber;
    return lookup;
}

DriveLookup ByPath(DeviceCatalog& catalog, const std::string& path)
{
    const PathLookup found = catalog.FindPath(path);
    if (found.driveNumber) return Found(*found.driveNumber);
    if (!found.reason.empty()) return Failed(LookupFailure::CannotReach, path + ": " + found.reason);
    if (found.errorCode != 0) return Failed(LookupFailure::CannotReach, OpenFailureText(path, found.errorCode));
    // Nothing the catalog knows: opening it tells what it is.
    int errorCode = 0;
    if (!catalog.Open(path, errorCode)) return Failed(LookupFailure::CannotReach, OpenFailureText(path, errorCode));
    return Failed(LookupFailure::NotListed, path + " opens, but is not among the drives found" + kSeeList);
}

DriveLookup ByIdentifier(DeviceCatalog& catalog, const std::string& name, bool byWorldWideName)
{
    std::vector<uint32_t> matches;
    std::vector<uint32_t> unknown;
    for (uint32_t number : catalog.DriveNumbers()) {
        const std::optional<DriveIdentifiers> known = catalog.KnownIdentifiers(number);
        if (!known)
            unknown.push_back(number);
        else if (Fits(*known, name, byWorldWideName))
            matches.push_back(number);
    }
    std::vector<std::string> unasked;
    if (matches.empty()) {
        for (uint32_t number : unknown) {
            const std::string path = catalog.PathOf(number);
            int errorCode = 0;
            DeviceHandle handle = catalog.Open(path, errorCode);
            if (!handle)
                unasked.push_back(OpenFailureText(path, errorCode));
            else if (Fits(AskDriveIdentifiers(&handle), name, byWorldWideName))
                matches.push_back(number);
        }
    }

    const std::string what = (byWorldWideName ? "the world wide name " : "the serial number ") + name;
    if (matches.size() == 1) return Found(matches.front());
    if (matches.size() > 1) {
        // Two sg nodes of one drive: its two ports on a dual-ported SAS drive.
        std::string paths;
        for (uint32_t number : matches) paths += (paths.empty() ? "" : ", ") + catalog.PathOf(number);
        return Failed(LookupFailure::Ambiguous,
                      what + " fits more than one device (" + paths + "; one drive on two paths?): name one by its path");
    }
    std::string message = "no drive has " + what + kSeeList;
    if (!unasked.empty()) {
        message += "; " + std::to_string(unasked.size()) + (unasked.size() == 1 ? " device" : " devices") +
                   " could not be asked:";
        for (const std::string& text : unasked) message += "\n  " + text;
    }
    return Failed(LookupFailure::CannotReach, message);
}

std::vector<uint8_t> InquiryReply(DeviceHandle* handle, uint8_t evpd, uint8_t pageCode)
{
    std::vector<uint8_t> reply(kInquiryBufferSize, 0);
    ScsiRequest request;
    request.DataTransferLength = kInquiryBufferSize;
    request.DataBuffer = reply.data();
    // A drive without the page refuses it: an answer, not a fault to report.
    if (ScsiInquiry(&evpd, &pageCode, request, handle, 0) != 1) return {};
    reply.resize(DataTransferred(request));
    return reply;
}

}  // namespace

DriveLookup LookUpDrive(DeviceCatalog& catalog, const std::string& name)
{
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        uint32_t number = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
        const std::vector<uint32_t> listed = catalog.DriveNumbers();
        if (error == std::errc() && std::find(listed.begin(), listed.end(), number) != listed.end())
            return Found(number);
        // No drive has that number; some drives' serial numbers are digits alone.
        DriveLookup bySerial = ByIdentifier(catalog, name, false);
        if (bySerial.driveNumber || bySerial.failure == LookupFailure::Ambiguous) return bySerial;
        return Failed(LookupFailure::CannotReach,
                      OpenFailureText(catalog.PathPrefix() + catalog.PathStem() + name, ENOENT));
    }
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) return ByPath(catalog, name);
    return ByIdentifier(catalog, name, LooksLikeWorldWideName(name));
}

DriveIdentifiers AskDriveIdentifiers(DeviceHandle* handle)
{
    DriveIdentifiers identifiers;
    const std::vector<uint8_t> inquiry = InquiryReply(handle, 0, 0);
    if (HasInquirySerialNumber(inquiry.data(), inquiry.size()))
        identifiers.serials.emplace_back(DecodeStandardInquiry(inquiry.data(), inquiry.size()).serialNumber);
    const std::vector<uint8_t> serialPage = InquiryReply(handle, 1, kUnitSerialNumberPage);
    if (auto serial = DecodeUnitSerialNumberPage(serialPage.data(), serialPage.size()))
        identifiers.serials.push_back(*serial);
    const std::vector<uint8_t> idPage = InquiryReply(handle, 1, kDeviceIdentificationPage);
    identifiers.worldWideNames = DecodeLogicalUnitNames(idPage.data(), idPage.size());
    return identifiers;
}
