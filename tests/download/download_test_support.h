#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "download/download_observer.h"
#include "download/drive_download.h"
#include "download/microcode_image.h"
#include "drives/device_entry.h"
#include "support/fake_time.h"

namespace dltest {

// Image files held in memory, with the failures a disk can give.
class MemoryImageOpener final : public ImageFileOpener {
public:
    struct File {
        std::vector<uint8_t> bytes;
        int sizeError = 0;          // Size() fails with this code
        int readError = 0;          // the read after readErrorAfter bytes fails with this code
        size_t readErrorAfter = 0;
        size_t endAfter = SIZE_MAX;  // the file ends early: reads give 0 bytes from here on
        size_t maxChunk = SIZE_MAX;  // at most this many bytes per read
    };
    std::map<std::string, File> files;
    uint64_t bytesRead = 0;

    std::unique_ptr<ImageFile> Open(const std::string& path, int& errorCode) override
    {
        const auto found = files.find(path);
        if (found == files.end()) {
            errorCode = ENOENT;
            return nullptr;
        }
        return std::make_unique<Reader>(found->second, *this);
    }

private:
    class Reader final : public ImageFile {
    public:
        Reader(const File& file, MemoryImageOpener& owner) : file(file), owner(owner) {}
        bool Size(uint64_t& size, int& errorCode) override
        {
            if (file.sizeError != 0) {
                errorCode = file.sizeError;
                return false;
            }
            size = file.bytes.size();
            return true;
        }
        bool Read(uint8_t* buffer, size_t count, size_t& got, int& errorCode) override
        {
            if (file.readError != 0 && position >= file.readErrorAfter) {
                errorCode = file.readError;
                return false;
            }
            const size_t end = std::min(file.bytes.size(), file.endAfter);
            got = std::min({count, end - std::min(end, position), file.maxChunk});
            if (file.readError != 0) got = std::min(got, file.readErrorAfter - position);
            std::memcpy(buffer, file.bytes.data() + position, got);
            position += got;
            owner.bytesRead += got;
            return true;
        }

    private:
        const File& file;
        MemoryImageOpener& owner;
        size_t position = 0;
    };
};

// A recognisable image: byte i is a mix of its index.
inline std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + (i >> 8)) & 0xFF);
    return bytes;
}

// The reports the sequence gave its observer.
class RecordingObserver final : public DownloadObserver {
public:
    std::vector<DriveReport> finished;
    std::vector<DriveReport> ended;  // the reports SequenceEnded gave

    void DriveFinished(const DeviceEntry&, const DriveReport& report) override { finished.push_back(report); }
    void SequenceEnded(const std::vector<DriveReport>& reports) override { ended = reports; }

    std::vector<DriveOutcome> Outcomes() const
    {
        std::vector<DriveOutcome> outcomes;
        for (const DriveReport& report : ended) outcomes.push_back(report.outcome);
        return outcomes;
    }
};

// Fake time for the readiness wait, and each drive's work run in place at
// once, so a whole download happens within OnDownload and its ticks.
inline DownloadEnvironment InPlaceEnvironment(const std::shared_ptr<FakeTime>& time,
                                              uint32_t readyTimeout = kDefaultReadyTimeoutSeconds)
{
    DownloadEnvironment environment;
    environment.clock = time;
    environment.pause = time;
    environment.readyTimeoutSeconds = readyTimeout;
    environment.launch = [](std::function<void()> work) { work(); };
    return environment;
}

}  // namespace dltest
