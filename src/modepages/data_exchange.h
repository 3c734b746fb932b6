#pragma once

#include <cstdint>
#include <string>

#include "modepages/edit_field.h"

class UserPrompts;

// One exchange pass over a page's fields, all to the controls or all from
// them. A field that refuses its text shows its message, takes the focus
// and fails the pass: the routines after it then leave their fields alone.
class CDataExchange {
public:
    CDataExchange(FieldControls& controls, bool saveAndValidate, UserPrompts* prompts)
        : controls(controls), saveAndValidate(saveAndValidate), prompts(prompts)
    {
    }

    FieldControls& Controls() const { return controls; }
    // True: from the controls into the held values.
    bool SaveAndValidate() const { return saveAndValidate; }
    bool Failed() const { return failed; }
    int FailedControl() const { return failedControl; }
    // The control of the last routine that ran (for DDV_MinMaxUInt).
    int LastControl() const { return lastControl; }
    void SetLastControl(int controlId) { lastControl = controlId; }

    // Shows the message (OK button), gives the control the focus with its
    // text selected and fails the pass.
    void Fail(int controlId, const std::string& message);

private:
    FieldControls& controls;
    bool saveAndValidate;
    UserPrompts* prompts;
    bool failed = false;
    int failedControl = 0;
    int lastControl = 0;
};

// A bit and its check box.
void DDX_Check(CDataExchange& dx, int controlId, bool& value);
// An unsigned decimal number and its edit field ("%u").
void DDX_Text(CDataExchange& dx, int controlId, uint32_t& value);
// After DDX_Text, on the way from the controls: the value must lie in
// [minimum, maximum].
void DDV_MinMaxUInt(CDataExchange& dx, uint32_t value, uint32_t minimum, uint32_t maximum);
