#pragma once

#include <ostream>
#include <string_view>

// The report's line ends ("\r\n", or a lone "\r") as plain "\n" on a stream.
// Remembers a "\r" that ended the last text, so a "\n" starting the next one
// does not add an empty line.
class PlainLineEnds {
public:
    void Write(std::ostream& out, std::string_view text)
    {
        for (const char c : text) {
            if (c == '\n' && afterCarriageReturn_) {
                afterCarriageReturn_ = false;
                continue;
            }
            afterCarriageReturn_ = c == '\r';
            out << (c == '\r' ? '\n' : c);
        }
        out.flush();
    }

private:
    bool afterCarriageReturn_ = false;
};
