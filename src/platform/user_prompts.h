#pragma once

#include <optional>
#include <string>

// What an operation asks of the person at the machine: a message box, a
// yes/no question, a file to open or save. The GUI shows dialogs, the CLI
// writes to stderr and takes answers from its options, tests record.
class UserPrompts {
public:
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~UserPrompts() = default;

    virtual void Message(const std::string& text, const std::string& caption, Icon icon) = 0;
    // True for yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // A file to read (save == false) or to write; filter in the desktop
    // style, e.g. "Download Files (*.lod)". None when the person cancels.
    virtual std::optional<std::string> ChooseFile(const std::string& title, const std::string& filter,
                                                  const std::string& initialName, bool save) = 0;
};
