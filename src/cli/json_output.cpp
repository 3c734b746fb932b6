#include "cli/json_output.h"

#include "cli/cli_context.h"

namespace {

std::string MeaningOf(int exitStatus)
{
    switch (exitStatus) {
    case kExitDeviceFailure: return "a drive failed, or a command failed on a drive";
    case kExitUsage: return "bad usage or input";
    case kExitCannotOpen: return "a named drive could not be opened";
    default: return "exit status " + std::to_string(exitStatus);
    }
}

}  // namespace

Json JsonEnvelope(const std::optional<std::string>& command, int exitStatus, const std::vector<std::string>& messages,
                  const Json& body)
{
    Json document{{"program", "kestrion-cli"}, {"version", KESTRION_VERSION}, {"format_version", kJsonFormatVersion}};
    document["command"] = command ? Json(*command) : Json(nullptr);
    document["exit_status"] = exitStatus;
    if (exitStatus == kExitOk) {
        document["error"] = nullptr;
    } else {
        std::string message;
        for (const std::string& text : messages) message += (message.empty() ? "" : "\n") + text;
        document["error"] = Json{{"message", message.empty() ? MeaningOf(exitStatus) : message}};
    }
    for (const auto& [key, value] : body.items()) document[key] = value;
    return document;
}

std::string JsonText(const Json& document)
{
    // Drive texts are not always UTF-8; a byte that is not becomes U+FFFD
    // rather than ending the program.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
}
