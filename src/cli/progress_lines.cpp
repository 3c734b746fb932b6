#include "cli/progress_lines.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/monotonic_clock.h"

namespace {

// VT100: cursor up n lines, and erase the line the cursor is on.
std::string CursorUp(size_t lines) { return "\x1b[" + std::to_string(lines) + "A\r"; }
constexpr const char* kEraseLine = "\x1b[2K";

}  // namespace

ProgressLines::ProgressLines(std::ostream& out, std::vector<std::string> labels, MonotonicClock& clock, Style style)
    : out(out),
      labels(std::move(labels)),
      texts(this->labels.size()),
      writtenAt(this->labels.size(), INT64_MIN),
      clock(clock),
      style(style)
{
}

ProgressLines::Style ProgressLines::StyleFor(int fd)
{
    Style style;
    style.terminal = isatty(fd) == 1;
    winsize size{};
    if (style.terminal && ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) style.width = size.ws_col;
    return style;
}

std::string ProgressLines::Fit(const std::string& text) const
{
    // A line wider than the terminal would wrap, and the cursor would no
    // longer go back to the top of the block.
    if (style.width < 2 || text.size() < style.width) return text;
    return text.substr(0, style.width - 1);
}

void ProgressLines::Update(size_t line, std::string text)
{
    std::lock_guard lock(mutex);
    if (finished || line >= texts.size()) return;
    texts[line] = std::move(text);
    const int64_t now = clock.NowNanoseconds();
    if (!style.terminal) {
        if (writtenAt[line] != INT64_MIN && now - writtenAt[line] < style.periodNanoseconds) return;
        writtenAt[line] = now;
        out << labels[line] << texts[line] << '\n' << std::flush;
        return;
    }
    if (drawn > 0 && now - drawnAt < style.redrawNanoseconds) return;
    drawnAt = now;
    Draw(false);
}

void ProgressLines::Note(const std::string& text)
{
    std::lock_guard lock(mutex);
    if (!style.terminal || finished) {
        out << text << '\n' << std::flush;
        return;
    }
    notes.push_back(text);
    Draw(drawn == 0);
}

void ProgressLines::Finish()
{
    std::lock_guard lock(mutex);
    if (finished) return;
    if (style.terminal) Draw(false);
    finished = true;
}

void ProgressLines::Draw(bool notesOnly)
{
    std::string frame;
    if (drawn > 0) frame += CursorUp(drawn);
    for (const std::string& note : notes) frame += kEraseLine + note + '\n';
    notes.clear();
    drawn = 0;
    if (!notesOnly) {
        for (size_t line = 0; line < texts.size(); ++line) frame += kEraseLine + Fit(labels[line] + texts[line]) + '\n';
        drawn = texts.size();
    }
    out << frame << std::flush;
}
