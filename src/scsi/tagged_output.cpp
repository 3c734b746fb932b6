#include "scsi/tagged_output.h"

void TaggedOutput::Append(std::string_view text)
{
    std::lock_guard lock(mutex);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        const size_t stop = end == std::string_view::npos ? text.size() : end + 1;
        line.append(text.substr(at, stop - at));
        at = stop;
        if (line.back() != '\n') break;
        inner.Append(tag + line);
        line.clear();
    }
}

void TaggedOutput::Flush()
{
    std::lock_guard lock(mutex);
    if (line.empty()) return;
    inner.Append(tag + line + "\r\n");
    line.clear();
}
