#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include <QObject>
#include <QTimer>

#include "scsi/output_window.h"
#include "ui/shell/output_edit.h"

class QPlainTextEdit;

// The results dialog's report: the worker's text reaches the edit a slice at
// a time, between the user-interface thread's other events, and a worker
// that gets too far ahead waits for the edit to catch up. So a drive that floods the report (thirty seconds of
// failed TEST UNIT READY) neither freezes the window nor fills memory.
// It outlives the edit when the worker may: once closed, it drops text.
class PacedOutput final : public QObject, public OutputWindow {
    Q_OBJECT

public:
    explicit PacedOutput(QPlainTextEdit& edit);
    ~PacedOutput() override;

    // From any thread; the worker waits while too much is still to be shown.
    void Append(std::string_view text) override;
    // Empties the edit and what is waiting (user-interface thread).
    void Clear();
    // From now on text is dropped and nobody waits: the window is going, or
    // the program is ending while a worker still runs.
    void Close();
    // What is waiting, in bytes.
    size_t Pending() const;

    static constexpr size_t kSlice = 16 * 1024;        // shown per turn of the event loop
    static constexpr size_t kHighWater = 256 * 1024;  // a writer waits above this

private:
    void ShowSlice();

    OutputEdit sink;
    QTimer drain;
    mutable std::mutex mutex;
    std::condition_variable roomLeft;
    std::string pending;
    bool closed = false;
};
