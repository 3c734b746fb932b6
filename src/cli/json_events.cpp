#include "cli/json_events.h"

void JsonEventWriter::Write(std::string_view event, const nlohmann::ordered_json& fields)
{
    nlohmann::ordered_json line;
    line["event"] = event;
    for (const auto& [key, value] : fields.items()) line[key] = value;
    // Text from a drive (a path, a message) may hold any byte: replaced, not thrown over.
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::lock_guard lock(mutex);
    out << text << '\n' << std::flush;
}
