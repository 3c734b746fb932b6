#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "sim/json_lines.h"

// Typed reads of bench fields. Every failed read leaves one message naming
// the source, the line and what is wrong ("bench.json:12: ..."); an absent
// optional field leaves the target unchanged.
class BenchReader {
public:
    using Json = nlohmann::json;

    BenchReader(std::string source, const JsonLineMap& lines) : source_(std::move(source)), lines_(lines) {}

    // Every key of object must be one of known.
    bool CheckFields(const Json& object, const std::string& path, std::initializer_list<std::string_view> known);
    bool Require(const Json& object, const std::string& path, const char* key);

    bool ReadUnsigned(const Json& object, const std::string& path, const char* key, uint64_t min, uint64_t max,
                      uint64_t& out);
    template <typename T>
    bool ReadNumber(const Json& object, const std::string& path, const char* key, uint64_t min, uint64_t max, T& out)
    {
        static_assert(std::numeric_limits<T>::is_integer);
        uint64_t value = out;
        if (!ReadUnsigned(object, path, key, min, max, value)) return false;
        out = static_cast<T>(value);
        return true;
    }
    // A byte given as a number or as hexadecimal text ("0x28").
    bool ReadByte(const Json& object, const std::string& path, const char* key, uint8_t max, uint8_t& out);
    bool ReadBool(const Json& object, const std::string& path, const char* key, bool& out);
    // Printable ASCII of at most maxLength characters.
    bool ReadText(const Json& object, const std::string& path, const char* key, size_t maxLength, std::string& out);

    // Checks the member is an object / a list (when present).
    bool IsObject(const Json& object, const std::string& path, const char* key);
    bool IsList(const Json& object, const std::string& path, const char* key);

    // Records a message about the value at path; always false.
    bool Fail(const std::string& path, const std::string& message);
    int LineOf(const std::string& path) const { return lines_.LineOf(path); }
    const std::string& Error() const { return error_; }

private:
    std::string source_;
    const JsonLineMap& lines_;
    std::string error_;
};
