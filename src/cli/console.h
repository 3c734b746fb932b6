#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

// The CLI's own output goes to `out` (the real standard output); the core's
// traces on cout / clog / cerr are silenced unless tracing was asked for,
// and go to stderr alone when standard output carries a JSON document.
class Console {
public:
    Console(bool trace, bool json);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    std::ostream& out();
    std::ostream& err();

    // "kestrion-cli: TEXT" on stderr, kept for the JSON document's error.
    void Message(const std::string& text);
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    class NullBuffer : public std::streambuf {
    protected:
        int overflow(int c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };
    NullBuffer null_;
    std::streambuf* savedCout_;
    std::streambuf* savedClog_;
    std::streambuf* savedCerr_;
    std::ostream out_;
    std::ostream err_;
    std::vector<std::string> messages_;
};
