#include "cli/console.h"

#include <iostream>

Console::Console(bool trace, bool json)
    : savedCout_(std::cout.rdbuf()), savedClog_(std::clog.rdbuf()), savedCerr_(std::cerr.rdbuf()),
      out_(savedCout_), err_(savedCerr_)
{
    if (!trace) {
        std::cout.rdbuf(&null_);
        std::clog.rdbuf(&null_);
        std::cerr.rdbuf(&null_);
    } else if (json) {
        // Standard output carries the JSON document alone.
        std::cout.rdbuf(savedCerr_);
    }
}

Console::~Console()
{
    out_.flush();
    err_.flush();
    std::cout.rdbuf(savedCout_);
    std::clog.rdbuf(savedClog_);
    std::cerr.rdbuf(savedCerr_);
}

std::ostream& Console::out() { return out_; }

std::ostream& Console::err() { return err_; }

void Console::Message(const std::string& text)
{
    err_ << "kestrion-cli: " << text << '\n';
    messages_.push_back(text);
}
