#pragma once

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

// Captures what the code under test writes to cout, clog and cerr; workers
// of several drives may write at once.
class StreamCapture {
public:
    StreamCapture()
        : cout_(std::cout.rdbuf(&out_)), clog_(std::clog.rdbuf(&log_)), cerr_(std::cerr.rdbuf(&err_))
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

    std::string Out() const { return out_.Text(); }
    std::string Log() const { return log_.Text(); }
    std::string Err() const { return err_.Text(); }

private:
    // Unbuffered, so every write reaches the text under the lock.
    class LockedText final : public std::streambuf {
    public:
        std::string Text() const
        {
            std::lock_guard lock(mutex);
            return text;
        }

    protected:
        int overflow(int c) override
        {
            if (c == traits_type::eof()) return traits_type::not_eof(c);
            std::lock_guard lock(mutex);
            text.push_back(traits_type::to_char_type(c));
            return c;
        }
        std::streamsize xsputn(const char* s, std::streamsize n) override
        {
            std::lock_guard lock(mutex);
            text.append(s, static_cast<size_t>(n));
            return n;
        }

    private:
        mutable std::mutex mutex;
        std::string text;
    };

    LockedText out_;
    LockedText log_;
    LockedText err_;
    std::streambuf* cout_;
    std::streambuf* clog_;
    std::streambuf* cerr_;
};
