#include "sim/bench_reader.h"

#include <algorithm>
#include <cstdlib>

namespace {

std::string Quoted(std::string_view key)
{
    return "\"" + std::string(key) + "\"";
}

bool ParseHexByte(const std::string& text, unsigned& value)
{
    if (text.size() < 3 || text.size() > 4 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        value = value * 16 + digit;
    }
    return true;
}

}  // namespace

bool BenchReader::Fail(const std::string& path, const std::string& message)
{
    error_ = source_ + ":" + std::to_string(lines_.LineOf(path)) + ": " + message;
    return false;
}

bool BenchReader::CheckFields(const Json& object, const std::string& path,
                              std::initializer_list<std::string_view> known)
{
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (std::find(known.begin(), known.end(), key) == known.end())
            return Fail(JsonLineMap::Child(path, key), "unknown field " + Quoted(key));
    }
    return true;
}

bool BenchReader::Require(const Json& object, const std::string& path, const char* key)
{
    if (object.contains(key)) return true;
    return Fail(path, "missing required field " + Quoted(key));
}

bool BenchReader::ReadUnsigned(const Json& object, const std::string& path, const char* key, uint64_t min,
                               uint64_t max, uint64_t& out)
{
    const auto found = object.find(key);
    if (found == object.end()) return true;
    const bool isWhole = found->is_number_unsigned() || (found->is_number_integer() && found->get<int64_t>() >= 0);
    if (isWhole) {
        const uint64_t value = found->get<uint64_t>();
        if (value >= min && value <= max) {
            out = value;
            return true;
        }
    }
    return Fail(JsonLineMap::Child(path, key),
                Quoted(key) + " must be a number from " + std::to_string(min) + " to " + std::to_string(max));
}

bool BenchReader::ReadByte(const Json& object, const std::string& path, const char* key, uint8_t max, uint8_t& out)
{
    const auto found = object.find(key);
    if (found != object.end() && found->is_string()) {
        unsigned value = 0;
        if (ParseHexByte(found->get_ref<const std::string&>(), value) && value <= max) {
            out = static_cast<uint8_t>(value);
            return true;
        }
        return Fail(JsonLineMap::Child(path, key), Quoted(key) + " must be a number from 0 to " + std::to_string(max));
    }
    return ReadNumber(object, path, key, 0, max, out);
}

bool BenchReader::ReadBool(const Json& object, const std::string& path, const char* key, bool& out)
{
    const auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_boolean()) return Fail(JsonLineMap::Child(path, key), Quoted(key) + " must be true or false");
    out = found->get<bool>();
    return true;
}

bool BenchReader::ReadText(const Json& object, const std::string& path, const char* key, size_t maxLength,
                           std::string& out)
{
    const auto found = object.find(key);
    if (found == object.end()) return true;
    if (found->is_string()) {
        const std::string& text = found->get_ref<const std::string&>();
        const bool printable =
            std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
        if (printable && text.size() <= maxLength) {
            out = text;
            return true;
        }
    }
    return Fail(JsonLineMap::Child(path, key), Quoted(key) + " must be text of at most " +
                                                   std::to_string(maxLength) + " printable ASCII characters");
}

bool BenchReader::IsObject(const Json& object, const std::string& path, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_object()) return true;
    return Fail(JsonLineMap::Child(path, key), Quoted(key) + " must be an object");
}

bool BenchReader::IsList(const Json& object, const std::string& path, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_array()) return true;
    return Fail(JsonLineMap::Child(path, key), Quoted(key) + " must be a list");
}
