#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/hex_fixture.h"

// Case tables under tests/data: one case a line, fields separated by '|'
// and trimmed; blank lines and lines starting with '#' are skipped. Each
// case keeps its line number for the failure message. A missing or empty
// file fails the test.
inline std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// A blank line or a comment.
inline bool IsCaseFiller(const std::string& text)
{
    const std::string trimmed = Trimmed(text);
    return trimmed.empty() || trimmed[0] == '#';
}

struct CaseLine {
    int line = 0;
    std::vector<std::string> fields;
    const std::string& operator[](size_t i) const { return fields.at(i); }
};

inline std::vector<CaseLine> ReadCaseFile(const std::string& name)
{
    std::vector<CaseLine> cases;
    std::istringstream lines(ReadTextFile(TestDataPath(name)));
    std::string text;
    for (int number = 1; std::getline(lines, text); ++number) {
        if (IsCaseFiller(text)) continue;
        CaseLine c{number, {}};
        std::istringstream fields(text);
        for (std::string field; std::getline(fields, field, '|');) c.fields.push_back(Trimmed(field));
        cases.push_back(std::move(c));
    }
    EXPECT_FALSE(cases.empty()) << "no cases in " << name;
    return cases;
}

// A field with each \n written in it made a line break.
inline std::string Unescaped(std::string text, const std::string& lineEnd = "\n")
{
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + lineEnd.size()))
        text.replace(at, 2, lineEnd);
    return text;
}

// Cases of several lines: each opens with a line that starts with `opener`
// (the rest, trimmed, is its name) and holds the lines up to the next;
// blank lines and comments are skipped.
struct CaseBlock {
    std::string name;
    int line = 0;
    std::vector<std::string> lines;
};

inline std::vector<CaseBlock> ReadCaseBlocks(const std::string& name, const std::string& opener)
{
    std::vector<CaseBlock> blocks;
    std::istringstream lines(ReadTextFile(TestDataPath(name)));
    std::string text;
    for (int number = 1; std::getline(lines, text); ++number) {
        if (IsCaseFiller(text)) continue;
        if (text.rfind(opener, 0) == 0)
            blocks.push_back({Trimmed(text.substr(opener.size())), number, {}});
        else if (!blocks.empty())
            blocks.back().lines.push_back(text);
    }
    EXPECT_FALSE(blocks.empty()) << "no cases in " << name;
    return blocks;
}

// "name.txt:12" for a case's trace.
inline std::string CaseTrace(const std::string& name, const CaseLine& c) { return name + ":" + std::to_string(c.line); }
