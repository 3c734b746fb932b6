#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "../support/command_gate.h"
#include "../support/tap_device.h"
#include "legacytest/test_context.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "scsi/output_window.h"

namespace legacytest {

// The shared drive tap, under the names these tests use.
using ::Gated;
using ::TapDevice;

// Time that moves only when told, by `step` seconds at every reading, or by
// what the program sleeps.
class FakeClock final : public Clock {
public:
    int64_t Now() override { return now.fetch_add(step); }
    // Reading it moves no time on, so measuring changes no slice.
    int64_t NowMilliseconds() override { return now.load() * 1000; }
    void Sleep(int64_t milliseconds) override
    {
        const int64_t before = slept.fetch_add(milliseconds);
        now += (before + milliseconds) / 1000 - before / 1000;
    }
    std::atomic<int64_t> now{1000};
    std::atomic<int64_t> step{0};
    std::atomic<int64_t> slept{0};  // milliseconds in all
};

// Escape at chosen polls (counted from 1), nothing otherwise.
class ScriptedKeyboard final : public Keyboard {
public:
    bool EscapePressed() override
    {
        const int poll = ++polls;
        for (int at : escapeAt)
            if (at == poll) return true;
        return false;
    }
    std::vector<int> escapeAt;
    std::atomic<int> polls{0};
};

// The running report as the results window would show it.
class RecordingOutput final : public OutputWindow {
public:
    void Append(std::string_view text) override
    {
        std::lock_guard lock(mutex);
        all.append(text);
    }
    std::string Text() const
    {
        std::lock_guard lock(mutex);
        return all;
    }
    bool Contains(const std::string& part) const { return Text().find(part) != std::string::npos; }
    size_t Count(const std::string& part) const
    {
        const std::string text = Text();
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }

private:
    mutable std::mutex mutex;
    std::string all;
};

}  // namespace legacytest
