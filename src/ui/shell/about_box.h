#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class CAboutBox;
}

// "About Kestrion": the program's icon, version and maker.
class CAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit CAboutBox(QWidget* parent = nullptr);
    ~CAboutBox() override;

private:
    std::unique_ptr<Ui::CAboutBox> ui;
};
