#pragma once

#include <memory>
#include <string_view>

#include "scsi/output_window.h"

class QPlainTextEdit;

// A read-only text edit as the end of a running report. Append may be
// called from any thread: texts reach the edit in the order they were
// appended, written by the edit's own (user-interface) thread, many at a
// time, so a long report does not flood the event queue. Line ends of
// either kind ("\r\n" or "\n") become one line break.
class OutputEdit final : public OutputWindow {
public:
    explicit OutputEdit(QPlainTextEdit& edit);
    ~OutputEdit() override;
    OutputEdit(const OutputEdit&) = delete;
    OutputEdit& operator=(const OutputEdit&) = delete;

    void Append(std::string_view text) override;
    // Writes what is waiting; on the edit's thread only.
    void Flush();
    // Empties the edit and drops what is waiting; on the edit's thread only.
    void Clear();

    QPlainTextEdit* Edit() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
