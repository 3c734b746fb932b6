#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

#include "platform/clock.h"
#include "scsi/output_window.h"

namespace dsttest {

// Time that moves only when a test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t start = 1700000000) : now_(start) {}
    int64_t Now() override { return now_.load(); }
    void Advance(int64_t seconds) { now_ += seconds; }

private:
    std::atomic<int64_t> now_;
};

// The running report as one text.
class RecordingOutput final : public OutputWindow {
public:
    void Append(std::string_view text) override { text_.append(text); }
    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

private:
    std::string text_;
};

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh folder under /tmp, removed with its files at the end.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/kestrion-dst-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "/tmp";
    }
    ~TempFolder()
    {
        const std::string command = "rm -rf '" + path_ + "'";
        if (path_ != "/tmp" && std::system(command.c_str()) != 0) std::perror("rm");
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Local time as UTC while it lives, so log times read the same everywhere.
class UtcZone {
public:
    UtcZone()
    {
        const char* zone = std::getenv("TZ");
        hadZone_ = zone != nullptr;
        if (hadZone_) saved_ = zone;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    ~UtcZone()
    {
        if (hadZone_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string saved_;
};

}  // namespace dsttest
