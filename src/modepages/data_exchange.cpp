#include "modepages/data_exchange.h"

#include <limits>

#include "modepages/mode_strings.h"
#include "platform/user_prompts.h"
#include "scsi/string_format.h"

void CDataExchange::Fail(int controlId, const std::string& message)
{
    if (prompts) prompts->Message(message, kModeMessageCaption, UserPrompts::Icon::Warning);
    if (EditField* edit = controls.Edit(controlId)) edit->FocusAndSelect();
    failed = true;
    failedControl = controlId;
}

void DDX_Check(CDataExchange& dx, int controlId, bool& value)
{
    if (dx.Failed()) return;
    dx.SetLastControl(controlId);
    CheckField* check = dx.Controls().Check(controlId);
    if (!check) return;
    if (dx.SaveAndValidate())
        value = check->Checked();
    else
        check->SetChecked(value);
}

namespace {

// Blanks around digits only, and no more than an unsigned int holds.
bool ParseUnsigned(const std::string& text, uint32_t& value)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const size_t last = text.find_last_not_of(' ');
    uint64_t number = 0;
    for (size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
        if (number > std::numeric_limits<uint32_t>::max()) return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

void DDX_Text(CDataExchange& dx, int controlId, uint32_t& value)
{
    if (dx.Failed()) return;
    dx.SetLastControl(controlId);
    EditField* edit = dx.Controls().Edit(controlId);
    if (!edit) return;
    if (!dx.SaveAndValidate()) {
        edit->SetText(StringPrintf("%u", value));
        return;
    }
    if (!ParseUnsigned(edit->Text(), value)) dx.Fail(controlId, kMsgParseUnsigned);
}

void DDV_MinMaxUInt(CDataExchange& dx, uint32_t value, uint32_t minimum, uint32_t maximum)
{
    if (dx.Failed() || !dx.SaveAndValidate()) return;
    if (value >= minimum && value <= maximum) return;
    dx.Fail(dx.LastControl(), StringPrintf(kMsgUnsignedRange, minimum, maximum));
}
