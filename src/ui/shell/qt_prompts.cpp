#include "ui/shell/qt_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon ToQt(UserPrompts::Icon icon)
{
    switch (icon) {
    case UserPrompts::Icon::Information: return QMessageBox::Information;
    case UserPrompts::Icon::Warning: return QMessageBox::Warning;
    case UserPrompts::Icon::Error: return QMessageBox::Critical;
    case UserPrompts::Icon::Question: return QMessageBox::Question;
    case UserPrompts::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtPrompts::Message(const std::string& text, const std::string& caption, Icon icon)
{
    QMessageBox box(ToQt(icon), QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    owner);
    box.exec();
}

bool QtPrompts::AskYesNo(const std::string& text, const std::string& caption)
{
    return QMessageBox::question(owner, QString::fromStdString(caption), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::ChooseFile(const std::string& title, const std::string& filter,
                                                 const std::string& initialName, bool save)
{
    const QString name =
        save ? QFileDialog::getSaveFileName(owner, QString::fromStdString(title), QString::fromStdString(initialName),
                                            QString::fromStdString(filter))
             : QFileDialog::getOpenFileName(owner, QString::fromStdString(title), QString::fromStdString(initialName),
                                            QString::fromStdString(filter));
    if (name.isEmpty()) return std::nullopt;
    return name.toStdString();
}
