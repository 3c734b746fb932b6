#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

#include "ui/shell/output_edit.h"

// The report window over a read-only text edit: "\r\n" (even split over two
// appends) and "\n" each make one line break, and a worker thread's texts
// arrive in order, written on the user-interface thread.
TEST(OutputEdit, TextsFromAnotherThreadArriveInOrderWithOneBreakForEitherLineEnd)
{
    QPlainTextEdit edit;
    OutputEdit output(edit);
    EXPECT_TRUE(edit.isReadOnly());
    QString expected;
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            output.Append("line " + std::to_string(i) + (i % 2 ? "\r" : "\n"));
            if (i % 2) output.Append("\n");
        }
    });
    for (int i = 0; i < 2000; ++i) expected += QStringLiteral("line %1\n").arg(i);
    worker.join();
    EXPECT_NE(edit.toPlainText(), expected) << "nothing is written from the worker thread itself";
    // A text of the user-interface thread comes after everything waiting.
    output.Append("\r\ndone");
    expected += QStringLiteral("\ndone");
    EXPECT_EQ(edit.toPlainText(), expected);
    QTest::qWait(20);
    EXPECT_EQ(edit.toPlainText(), expected) << "the queued flush adds nothing twice";
    output.Clear();
    EXPECT_EQ(edit.toPlainText(), "");
}
