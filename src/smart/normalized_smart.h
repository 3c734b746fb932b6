#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scsi/scsi_device.h"
#include "smart/smart_parameters.h"

class UserPrompts;
struct ScsiRequest;
struct DeviceEntry;

inline constexpr int kSmartOk = 4;
inline constexpr int kSmartFailed = 1;

inline constexpr size_t kSmartLogBufferSize = 32768;

inline constexpr const char* kSmartSheetTitle = "Smart Data";
inline constexpr const char* kSmartErrorTitle = "SMART error";
inline constexpr const char* kSmartNotSupported = "Normalized SMART not supported";
inline constexpr const char* kSmartBufferFailed = "Buffer allocation for SMART Data buffer failed";
inline constexpr const char* kSmartSupportedPagesFailed = "GetSupportedPages failed";
inline constexpr const char* kSmartNoRelevantCodes = "No relevant parameter codes in Attribute Log Page, 0x30";
inline constexpr const char* kSmartAttributeReadFailed = "GetSMARTAttributeLogData failed";

// What the "Smart Data" sheet shows: its tabs in the order they were added
// (the status tab first when present, then the attribute parameters in the
// order of the page).
struct SmartSheet {
    std::vector<SmartTab> tabs;
};

// The vendor command DFh that, with the LOG SELECT probe, opens the
// normalized SMART data. kSmartOk when the drive took it, or refused it
// with additional sense code 00h or 01h; otherwise kSmartFailed.
// `answer`, when given, receives the request as the drive answered it.
int SmartVendorCommand(DeviceHandle* handle, ScsiRequest* answer = nullptr);

// A message box without owner: title "SMART error", information icon, OK.
void ShowSmartError(UserPrompts& prompts, const std::string& text);

// The log buffer comes from here; null when the memory is not there.
using SmartBufferAllocator = std::unique_ptr<uint8_t[]> (*)(size_t size);
std::unique_ptr<uint8_t[]> AllocateSmartBuffer(size_t size);

// Command 32785 without its window: makes the device g_pSheetDevice and
// reads its normalized SMART data into a sheet. None when there is nothing to show; the user has then
// been told why through prompts (or nothing, when there is no device or it
// is not open). The sheet only displays: nothing is written to the drive
// beyond the two vendor commands that open the data.
std::optional<SmartSheet> OnNormalizedSmart(DeviceEntry* device, UserPrompts& prompts,
                                            SmartBufferAllocator allocate = AllocateSmartBuffer);
