#pragma once

#include <cstdio>
#include <string>

// printf-style formatting into a string sized for the result.
template <typename... Args>
std::string StringPrintf(const char* format, Args... args)
{
    const int needed = std::snprintf(nullptr, 0, format, args...);
    if (needed <= 0) return {};
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<size_t>(needed));
    return text;
}
