#pragma once

#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

// Answers every message box that opens while it lives: Yes where the box
// asks, OK otherwise; remembers what each said.
class BoxAnswerer {
public:
    explicit BoxAnswerer(bool yes = true) : yes(yes)
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { Answer(); });
        timer.start();
    }

    std::vector<QString> boxes;

private:
    void Answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        boxes.push_back(box->text());
        QAbstractButton* button = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
        if (!button) button = box->button(QMessageBox::Ok);
        if (button) {
            button->click();
        } else {
            box->reject();
        }
    }

    bool yes;
    QTimer timer;
};
