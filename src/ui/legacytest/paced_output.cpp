#include "ui/legacytest/paced_output.h"

#include <chrono>

#include <QPlainTextEdit>
#include <QThread>

PacedOutput::PacedOutput(QPlainTextEdit& edit) : sink(edit)
{
    // A zero interval: one slice each time the event loop has nothing else.
    drain.setInterval(0);
    connect(&drain, &QTimer::timeout, this, &PacedOutput::ShowSlice);
}

PacedOutput::~PacedOutput() { Close(); }

void PacedOutput::Append(std::string_view text)
{
    if (QThread::currentThread() == thread()) {
        {
            std::lock_guard lock(mutex);
            if (closed) return;
            pending.append(text);
        }
        while (Pending() > 0) ShowSlice();
        return;
    }
    std::unique_lock lock(mutex);
    // Polled as well as woken: Close() may come from a destructor while the
    // edit's thread no longer runs its loop.
    while (!closed && pending.size() > kHighWater) roomLeft.wait_for(lock, std::chrono::milliseconds(50));
    if (closed) return;
    const bool wasEmpty = pending.empty();
    pending.append(text);
    if (wasEmpty) QMetaObject::invokeMethod(this, [this] { drain.start(); }, Qt::QueuedConnection);
}

void PacedOutput::ShowSlice()
{
    std::string slice;
    {
        std::lock_guard lock(mutex);
        const size_t size = std::min(pending.size(), kSlice);
        slice = pending.substr(0, size);
        pending.erase(0, size);
        if (pending.empty()) drain.stop();
    }
    roomLeft.notify_all();
    if (!slice.empty()) sink.Append(slice);
}

void PacedOutput::Clear()
{
    {
        std::lock_guard lock(mutex);
        pending.clear();
    }
    roomLeft.notify_all();
    sink.Clear();
}

void PacedOutput::Close()
{
    {
        std::lock_guard lock(mutex);
        closed = true;
        pending.clear();
    }
    roomLeft.notify_all();
}

size_t PacedOutput::Pending() const
{
    std::lock_guard lock(mutex);
    return pending.size();
}
