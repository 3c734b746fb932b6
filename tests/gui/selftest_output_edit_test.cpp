// The thread-safe report window over a read-only text edit.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

#include "ui/shell/output_edit.h"

TEST(OutputEdit, LineEndsOfEitherKindMakeOneLineBreak)
{
    QPlainTextEdit edit;
    OutputEdit output(edit);
    EXPECT_TRUE(edit.isReadOnly());
    output.Append("for drive physicaldrive1 ");
    output.Append("\nDST Failed");
    output.Append("\r");
    output.Append("\n");  // a "\r\n" split over two appends
    output.Append("\r\nDST Aborted\r\nlast");
    EXPECT_EQ(edit.toPlainText(), "for drive physicaldrive1 \nDST Failed\n\nDST Aborted\nlast");
    output.Clear();
    EXPECT_EQ(edit.toPlainText(), "");
}

TEST(OutputEdit, TextsFromAnotherThreadArriveInOrder)
{
    QPlainTextEdit edit;
    OutputEdit output(edit);
    QString expected;
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) output.Append("line " + std::to_string(i) + "\r\n");
    });
    for (int i = 0; i < 2000; ++i) expected += QStringLiteral("line %1\n").arg(i);
    worker.join();
    EXPECT_NE(edit.toPlainText(), expected) << "nothing is written from the worker thread itself";
    // A text of the user-interface thread comes after everything waiting.
    output.Append("done");
    expected += QStringLiteral("done");
    EXPECT_EQ(edit.toPlainText(), expected);
    QTest::qWait(20);
    EXPECT_EQ(edit.toPlainText(), expected) << "the queued flush adds nothing twice";
}
