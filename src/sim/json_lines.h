#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

// Where a value sits in a JSON text, so a message about a bench file can
// name the line. A path is the chain of object keys and array indexes from
// the root, built with Child().
class JsonLineMap {
public:
    // Scans any text, valid JSON or not, without reading past it. Stops
    // when values nest deeper than maxDepth.
    static JsonLineMap Scan(std::string_view text, size_t maxDepth);

    static std::string Child(const std::string& path, std::string_view key);
    static std::string Child(const std::string& path, size_t index);

    // The line of the value at path (for a member, the line of its key);
    // the nearest enclosing value's when the path is not known (a key
    // written with escapes). 1 for an empty text.
    int LineOf(const std::string& path) const;

    bool TooDeep() const { return tooDeep_; }
    int TooDeepLine() const { return tooDeepLine_; }

    // The first key given twice in one object, if any.
    bool HasDuplicateKey() const { return !duplicateKey_.empty(); }
    const std::string& DuplicateKey() const { return duplicateKey_; }
    int DuplicateKeyLine() const { return duplicateKeyLine_; }

private:
    std::unordered_map<std::string, int> lines_;
    bool tooDeep_ = false;
    int tooDeepLine_ = 0;
    std::string duplicateKey_;
    int duplicateKeyLine_ = 0;
};
