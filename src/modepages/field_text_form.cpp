#include "modepages/field_text_form.h"

FieldTextForm::FieldTextForm(const ModePageTable& table)
{
    for (const ModeField& field : table.fields) {
        for (size_t column = 0; column < kColumnCount; ++column) {
            const int id = field.controls[column];
            controls.try_emplace(id, *this, id, field.kind == FieldKind::Bit);
            // The Default column is never edited.
            if (column == static_cast<size_t>(Column::Default)) controls.at(id).readOnly = true;
        }
    }
}

EditField* FieldTextForm::Edit(int controlId)
{
    const auto found = controls.find(controlId);
    return found == controls.end() || found->second.isCheck ? nullptr : &found->second;
}

CheckField* FieldTextForm::Check(int controlId)
{
    const auto found = controls.find(controlId);
    return found == controls.end() || !found->second.isCheck ? nullptr : &found->second;
}

std::string FieldTextForm::Shown(const ModeField& field, Column column) const
{
    const auto found = controls.find(field.controls[static_cast<size_t>(column)]);
    if (found == controls.end()) return {};
    const TextControl& control = found->second;
    if (control.isCheck) return control.checked ? "1" : "0";
    return control.text;
}

bool FieldTextForm::ReadOnly(const ModeField& field, Column column) const
{
    const auto found = controls.find(field.controls[static_cast<size_t>(column)]);
    return found != controls.end() && found->second.readOnly;
}
