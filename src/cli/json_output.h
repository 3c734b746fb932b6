#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Keys keep the order they are written in: the envelope's first.
using Json = nlohmann::ordered_json;

// Raised when a key is renamed or removed, or a value changes its meaning;
// new keys leave it as it is.
inline constexpr int kJsonFormatVersion = 1;

// The one JSON document a command prints with --json: the program, its
// version, the format version, the command, its exit status and its error
// (null on success; otherwise the messages it gave, or what the exit status
// means), then the command's own keys. An unknown command is null.
Json JsonEnvelope(const std::optional<std::string>& command, int exitStatus, const std::vector<std::string>& messages,
                  const Json& body);

// The envelope as printed: indented, one line end after it.
std::string JsonText(const Json& document);
