#pragma once

#include "platform/user_prompts.h"

class QWidget;

// Message boxes and file dialogs owned by a window (or none).
class QtPrompts : public UserPrompts {
public:
    explicit QtPrompts(QWidget* owner = nullptr) : owner(owner) {}

    void Message(const std::string& text, const std::string& caption, Icon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    std::optional<std::string> ChooseFile(const std::string& title, const std::string& filter,
                                          const std::string& initialName, bool save) override;

private:
    QWidget* owner;
};
