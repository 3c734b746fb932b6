#pragma once

#include <map>
#include <string>

#include "modepages/edit_field.h"
#include "modepages/mode_page_table.h"

// A page's controls without a window: a text per edit field, a state per
// check box. The command line fills it from its options, tests from their
// cases; the exchange treats it as it treats a dialog.
class FieldTextForm final : public FieldControls {
public:
    // One control per field and column, of the kind the field needs.
    explicit FieldTextForm(const ModePageTable& table);

    EditField* Edit(int controlId) override;
    CheckField* Check(int controlId) override;

    // The text a field shows in a column: its edit text, or "1"/"0" for a
    // check box.
    std::string Shown(const ModeField& field, Column column) const;
    bool ReadOnly(const ModeField& field, Column column) const;
    // The control that last took the focus after a refused text; 0 if none.
    int Focused() const { return focused; }

private:
    class TextControl final : public EditField, public CheckField {
    public:
        explicit TextControl(FieldTextForm& form, int id, bool isCheck) : form(form), id(id), isCheck(isCheck) {}
        std::string Text() const override { return text; }
        void SetText(const std::string& value) override { text = value; }
        bool Checked() const override { return checked; }
        void SetChecked(bool value) override { checked = value; }
        void SetReadOnly(bool value) override { readOnly = value; }
        void FocusAndSelect() override { form.focused = id; }

        FieldTextForm& form;
        int id;
        bool isCheck;
        std::string text;
        bool checked = false;
        bool readOnly = false;
    };

    std::map<int, TextControl> controls;
    int focused = 0;
};
