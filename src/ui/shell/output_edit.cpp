#include "ui/shell/output_edit.h"

#include <mutex>
#include <string>

#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>

struct OutputEdit::Shared {
    std::mutex mutex;
    std::string pending;     // appended, not yet in the edit
    bool scheduled = false;  // a flush is queued on the edit's thread
    bool afterCarriageReturn = false;  // the last text written ended in "\r"
    QPointer<QPlainTextEdit> edit;

    void FlushOnEditThread()
    {
        std::string text;
        {
            std::lock_guard lock(mutex);
            text.swap(pending);
            scheduled = false;
        }
        if (text.empty() || !edit) return;
        Write(text);
    }

    void Write(const std::string& text)
    {
        // "\r\n", a lone "\r" and a lone "\n" each end one line; a "\r\n"
        // may come split over two appends.
        std::string lines;
        lines.reserve(text.size());
        for (const char c : text) {
            if (c == '\n' && afterCarriageReturn) {
                afterCarriageReturn = false;
                continue;
            }
            afterCarriageReturn = c == '\r';
            lines += c == '\r' ? '\n' : c;
        }
        QScrollBar* bar = edit->verticalScrollBar();
        const bool following = bar->value() == bar->maximum();
        QTextCursor cursor(edit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString::fromUtf8(lines.data(), static_cast<qsizetype>(lines.size())));
        // Keeps up with the report unless the user scrolled back to read.
        if (following) bar->setValue(bar->maximum());
    }
};

OutputEdit::OutputEdit(QPlainTextEdit& edit) : shared_(std::make_shared<Shared>())
{
    shared_->edit = &edit;
    edit.setReadOnly(true);
}

OutputEdit::~OutputEdit() = default;

QPlainTextEdit* OutputEdit::Edit() const { return shared_->edit; }

void OutputEdit::Append(std::string_view text)
{
    QPlainTextEdit* edit = nullptr;
    bool schedule = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->pending.append(text);
        edit = shared_->edit;
        if (!edit) return;
        if (QThread::currentThread() != edit->thread() && !shared_->scheduled) {
            shared_->scheduled = true;
            schedule = true;
        }
    }
    if (QThread::currentThread() == edit->thread()) {
        // Earlier texts from other threads still waiting go first.
        shared_->FlushOnEditThread();
        return;
    }
    if (schedule) {
        std::shared_ptr<Shared> shared = shared_;
        QMetaObject::invokeMethod(edit, [shared] { shared->FlushOnEditThread(); }, Qt::QueuedConnection);
    }
}

void OutputEdit::Flush() { shared_->FlushOnEditThread(); }

void OutputEdit::Clear()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->pending.clear();
        shared_->afterCarriageReturn = false;
    }
    if (shared_->edit) shared_->edit->clear();
}
