#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "scsi/byte_order.h"
#include "scsi/output_window.h"

namespace dsttest {

// The running report as one text.
class RecordingOutput final : public OutputWindow {
public:
    void Append(std::string_view text) override { text_.append(text); }
    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

private:
    std::string text_;
};

// One entry of a self-test results page as a test writes it.
struct LogEntry {
    uint8_t result = 0;
    uint16_t stamp = 0;
    uint64_t lba = ~uint64_t{0};
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    uint8_t fru = 0;
    uint8_t code = 1;  // self-test code: 1 background short, 2 background extended
};

// A self-test results page as a drive returns it, entries in page order.
inline std::vector<uint8_t> ResultsPage(const std::vector<LogEntry>& entries)
{
    std::vector<uint8_t> page(404, 0);
    page[0] = 0x10;
    page[2] = 0x01;
    page[3] = 0x90;
    for (size_t k = 0; k < 20; ++k) {
        uint8_t* out = &page[4 + 20 * k];
        out[1] = static_cast<uint8_t>(k + 1);
        out[2] = 0x03;
        out[3] = 0x10;
        if (k >= entries.size()) continue;
        const LogEntry& entry = entries[k];
        out[4] = static_cast<uint8_t>(entry.code << 5 | entry.result);
        StoreBe16(out + 6, static_cast<uint16_t>(entry.stamp));
        StoreBe64(out + 8, entry.lba);
        out[16] = entry.senseKey;
        out[17] = entry.asc;
        out[18] = entry.ascq;
        out[19] = entry.fru;
    }
    return page;
}

// A fresh folder under /tmp, removed with its files at the end.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/kestrion-dst-XXXXXX";
        path_ = mkdtemp(pattern) ? pattern : "";
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Local time as UTC while it lives, so log times read the same everywhere.
class UtcZone {
public:
    UtcZone() : saved_(std::getenv("TZ") ? std::getenv("TZ") : "") { Set("UTC0"); }
    ~UtcZone() { Set(saved_); }

private:
    static void Set(const std::string& zone)
    {
        if (zone.empty())
            unsetenv("TZ");
        else
            setenv("TZ", zone.c_str(), 1);
        tzset();
    }
    std::string saved_;
};

}  // namespace dsttest
