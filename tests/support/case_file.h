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
        if (text.find_first_not_of(" \t") == std::string::npos || text[text.find_first_not_of(" \t")] == '#') continue;
        CaseLine c{number, {}};
        std::istringstream fields(text);
        for (std::string field; std::getline(fields, field, '|');) {
            const size_t first = field.find_first_not_of(" \t"), last = field.find_last_not_of(" \t");
            c.fields.push_back(first == std::string::npos ? "" : field.substr(first, last - first + 1));
        }
        cases.push_back(std::move(c));
    }
    EXPECT_FALSE(cases.empty()) << "no cases in " << name;
    return cases;
}

// A field with each \n written in it made a line break.
inline std::string Unescaped(std::string text)
{
    for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
    return text;
}

// "name.txt:12" for a case's trace.
inline std::string CaseTrace(const std::string& name, const CaseLine& c) { return name + ":" + std::to_string(c.line); }
