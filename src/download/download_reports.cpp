#include "download/download_reports.h"

#include <cstring>

#include "download/download_messages.h"
#include "platform/user_prompts.h"
#include "scsi/string_format.h"

namespace {

constexpr size_t kSystemTextLimit = 80;

}  // namespace

std::string LastErrorText(const std::string& prefix, int errorCode)
{
    std::string system = std::strerror(errorCode);
    if (system.size() > kSystemTextLimit) system.resize(kSystemTextLimit);
    return prefix + StringPrintf(kFmtLastError, errorCode) + system;
}

std::string ScsiFailureText(const std::string& prefix, uint8_t status, int count, const uint8_t* bytes)
{
    std::string text = prefix + StringPrintf(kFmtScsiFailure, static_cast<unsigned>(status));
    for (int i = 0; bytes != nullptr && i < count; ++i) text += StringPrintf("%02X ", static_cast<unsigned>(bytes[i]));
    return text;
}

void ReportLastError(UserPrompts& prompts, const std::string& prefix, int errorCode)
{
    prompts.Message(LastErrorText(prefix, errorCode), kDownloadMessageCaption, UserPrompts::Icon::Warning);
}

void ReportScsiFailure(UserPrompts& prompts, const std::string& prefix, uint8_t status, int count,
                       const uint8_t* bytes)
{
    prompts.Message(ScsiFailureText(prefix, status, count, bytes), kDownloadMessageCaption,
                    UserPrompts::Icon::Warning);
}
