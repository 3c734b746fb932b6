#include "sim/json_lines.h"

#include <cstring>
#include <vector>

namespace {

// JSON text cannot hold a raw control character, so this one never
// collides with a key.
constexpr char kSeparator = '\x1f';

struct Frame {
    std::string path;
    bool isObject = false;
    size_t index = 0;
};

}  // namespace

std::string JsonLineMap::Child(const std::string& path, std::string_view key)
{
    std::string child = path;
    child += kSeparator;
    child += key;
    return child;
}

std::string JsonLineMap::Child(const std::string& path, size_t index)
{
    return Child(path, std::to_string(index));
}

JsonLineMap JsonLineMap::Scan(std::string_view text, size_t maxDepth)
{
    JsonLineMap map;
    std::vector<Frame> stack;
    std::string pending;  // path of the next value
    bool expectKey = false;
    int line = 1;
    size_t i = 0;
    const size_t n = text.size();

    while (i < n) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == ':') {
            ++i;
        } else if (c == '{' || c == '[') {
            map.lines_.emplace(pending, line);
            if (stack.size() >= maxDepth) {
                map.tooDeep_ = true;
                map.tooDeepLine_ = line;
                return map;
            }
            stack.push_back({pending, c == '{', 0});
            if (c == '{')
                expectKey = true;
            else
                pending = Child(pending, size_t{0});
            ++i;
        } else if (c == '}' || c == ']') {
            if (!stack.empty()) stack.pop_back();
            expectKey = false;
            ++i;
        } else if (c == ',') {
            if (!stack.empty()) {
                Frame& frame = stack.back();
                if (frame.isObject)
                    expectKey = true;
                else
                    pending = Child(frame.path, ++frame.index);
            }
            ++i;
        } else if (c == '"') {
            const int startLine = line;
            const size_t start = ++i;
            while (i < n && text[i] != '"') {
                if (text[i] == '\n') ++line;
                i += text[i] == '\\' ? 2 : 1;
            }
            const std::string_view raw = text.substr(start, (i < n ? i : n) - start);
            ++i;
            if (expectKey && !stack.empty() && stack.back().isObject) {
                std::string keyPath = Child(stack.back().path, raw);
                if (!map.lines_.emplace(keyPath, startLine).second && map.duplicateKey_.empty()) {
                    map.duplicateKey_ = std::string(raw);
                    map.duplicateKeyLine_ = startLine;
                }
                pending = std::move(keyPath);
                expectKey = false;
            } else {
                map.lines_.emplace(pending, startLine);
            }
        } else {
            map.lines_.emplace(pending, line);
            do {
                ++i;
            } while (i < n && !std::strchr(",}]:\" \t\r\n{[", text[i]));
        }
    }
    return map;
}

int JsonLineMap::LineOf(const std::string& path) const
{
    std::string current = path;
    for (;;) {
        const auto found = lines_.find(current);
        if (found != lines_.end()) return found->second;
        const size_t cut = current.rfind(kSeparator);
        if (cut == std::string::npos) break;
        current.resize(cut);
    }
    const auto root = lines_.find(std::string());
    return root != lines_.end() ? root->second : 1;
}
