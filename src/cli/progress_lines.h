#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

class MonotonicClock;

// The live progress of a run that works on several drives at once, one line
// per drive, for people. On a terminal the lines stay in place at the bottom
// and are rewritten as they change (a few times a second at most); on a
// file or a pipe each drive's line is written out as it stands every
// `period`, so a log grows slowly. Notes (a failure found, a drive done)
// go above the live lines and stay. Every call may come from any thread.
class ProgressLines {
public:
    struct Style {
        bool terminal = false;
        size_t width = 80;                                 // columns of the terminal
        int64_t redrawNanoseconds = 250'000'000;           // terminal
        int64_t periodNanoseconds = 10'000'000'000;        // file or pipe
    };

    // labels: one per line, shown before its text ("/dev/sg2: ").
    ProgressLines(std::ostream& out, std::vector<std::string> labels, MonotonicClock& clock, Style style);

    void Update(size_t line, std::string text);
    void Note(const std::string& text);
    // The lines as they stand, once more, on a terminal; the live block
    // then ends and later output goes below it.
    void Finish();

    // Whether standard output or error (fd) is a terminal, and its width.
    static Style StyleFor(int fd);

private:
    void Draw(bool notesOnly);
    std::string Fit(const std::string& text) const;

    std::ostream& out;
    std::vector<std::string> labels;
    std::vector<std::string> texts;
    std::vector<int64_t> writtenAt;
    std::vector<std::string> notes;
    MonotonicClock& clock;
    const Style style;
    std::mutex mutex;
    size_t drawn = 0;  // live lines on the screen now, the cursor below them
    int64_t drawnAt = 0;
    bool finished = false;
};
