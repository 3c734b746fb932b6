#pragma once

#include <string>

// A page's controls as the field exchange sees them, so the same exchange
// serves the workstation's dialogs, the command line and the tests.

// An edit control holding a field's text.
class EditField {
public:
    virtual ~EditField() = default;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual void SetReadOnly(bool readOnly) = 0;
    // After its text was refused: give it the focus with its text selected.
    virtual void FocusAndSelect() = 0;
};

// A check box holding a bit.
class CheckField {
public:
    virtual ~CheckField() = default;
    virtual bool Checked() const = 0;
    virtual void SetChecked(bool checked) = 0;
    virtual void SetReadOnly(bool readOnly) = 0;
};

// The controls of one page, by control id; null for an id the page lacks.
class FieldControls {
public:
    virtual ~FieldControls() = default;
    virtual EditField* Edit(int controlId) = 0;
    virtual CheckField* Check(int controlId) = 0;
};
