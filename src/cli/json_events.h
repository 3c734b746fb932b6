#pragma once

#include <mutex>
#include <ostream>
#include <string_view>

#include <nlohmann/json.hpp>

// Events for programs that follow a run as it goes: one JSON object a line,
// written whole and flushed at once, "event" first. Events of several drives'
// workers never mix within a line.
class JsonEventWriter {
public:
    explicit JsonEventWriter(std::ostream& out) : out(out) {}

    // fields: the event's own keys (snake_case), after "event".
    void Write(std::string_view event, const nlohmann::ordered_json& fields);

private:
    std::ostream& out;
    std::mutex mutex;
};
