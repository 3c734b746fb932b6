#pragma once

#include <iostream>
#include <sstream>
#include <string>

// Captures what the code under test writes to cout, clog and cerr.
class StreamCapture {
public:
    StreamCapture()
        : cout_(std::cout.rdbuf(out_.rdbuf())), clog_(std::clog.rdbuf(log_.rdbuf())),
          cerr_(std::cerr.rdbuf(err_.rdbuf()))
    {
    }
    ~StreamCapture()
    {
        std::cout.rdbuf(cout_);
        std::clog.rdbuf(clog_);
        std::cerr.rdbuf(cerr_);
    }
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    std::string Out() const { return out_.str(); }
    std::string Log() const { return log_.str(); }
    std::string Err() const { return err_.str(); }

private:
    std::ostringstream out_;
    std::ostringstream log_;
    std::ostringstream err_;
    std::streambuf* cout_;
    std::streambuf* clog_;
    std::streambuf* cerr_;
};
