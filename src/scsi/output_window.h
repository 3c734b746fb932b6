#pragma once

#include <string_view>

// The end of a running report: the results edit control, a CLI stream, a
// test recorder. Append may be called from the test worker thread; an
// implementation delivers texts in order.
class OutputWindow {
public:
    virtual ~OutputWindow() = default;
    virtual void Append(std::string_view text) = 0;
};
