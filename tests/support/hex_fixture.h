#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Byte fixtures as hex text: pairs of digits separated by blanks; '#'
// starts a comment that runs to the end of the line.
inline std::vector<uint8_t> ParseHexText(const std::string& text)
{
    std::vector<uint8_t> bytes;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word) bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

inline std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A file under tests/data, e.g. "scsi/read_capacity16_4tb.hex".
inline std::string TestDataPath(const std::string& name) { return std::string(KESTRION_TEST_DATA) + "/" + name; }

inline std::vector<uint8_t> HexDataFile(const std::string& name) { return ParseHexText(ReadTextFile(TestDataPath(name))); }
