#include "modepages/mode_page.h"

#include "modepages/hex_exchange.h"
#include "modepages/mode_page_io.h"
#include "modepages/mode_strings.h"
#include "platform/user_prompts.h"
#include "scsi/string_format.h"

namespace {

constexpr uint8_t kPageControlCurrent = 0;
constexpr uint8_t kPageControlChangeable = 1;
constexpr uint8_t kPageControlDefault = 2;
constexpr uint8_t kPageControlSaved = 3;

// One control's exchange through a typed copy of the held value, so a
// routine that fails part way leaves the value as it would its own.
void ExchangeField(CDataExchange& dx, const ModeField& field, int controlId, uint64_t& held)
{
    switch (field.kind) {
    case FieldKind::Bit: {
        bool bit = held != 0;
        DDX_Check(dx, controlId, bit);
        held = bit;
        return;
    }
    case FieldKind::Nibble:
    case FieldKind::Byte: {
        auto byte = static_cast<uint8_t>(held);
        if (field.kind == FieldKind::Nibble)
            DDX_HexNibble(dx, controlId, byte);
        else
            DDX_HexByte(dx, controlId, byte);
        held = byte;
        return;
    }
    case FieldKind::Word:
    case FieldKind::Triple:
    case FieldKind::Dword: {
        auto number = static_cast<uint32_t>(held);
        if (field.kind == FieldKind::Word)
            DDX_HexWord(dx, controlId, number);
        else if (field.kind == FieldKind::Triple)
            DDX_HexTriple(dx, controlId, number);
        else
            DDX_HexDword(dx, controlId, number);
        held = number;
        return;
    }
    case FieldKind::Qword: {
        HexQword qword = HexQword::From(held);
        DDX_HexQword(dx, controlId, qword);
        held = qword.Value();
        return;
    }
    case FieldKind::Decimal: {
        auto number = static_cast<uint32_t>(held);
        DDX_Text(dx, controlId, number);
        DDV_MinMaxUInt(dx, number, 0, field.decimalMax);
        held = number;
        return;
    }
    }
}

}  // namespace

CModePage::CModePage(const ModePageTable& table)
    : table(table), pageCode(table.code), values(table.fields.size()), locked(table.fields.size(), false)
{
}

void CModePage::AttachControls(FieldControls* fieldControls, UserPrompts* messagePrompts)
{
    controls = fieldControls;
    prompts = messagePrompts;
    unedited.clear();
    MarkUnedited({Column::Current, Column::Saved});
}

void CModePage::DoDataExchange(CDataExchange& dx)
{
    for (size_t i = 0; i < table.fields.size(); ++i) {
        const ModeField& field = table.fields[i];
        for (size_t column = 0; column < kColumnCount; ++column)
            ExchangeField(dx, field, field.controls[column], values[i][column]);
    }
}

bool CModePage::UpdateData(bool saveAndValidate)
{
    if (!controls) return true;
    CDataExchange dx(*controls, saveAndValidate, prompts);
    DoDataExchange(dx);
    // Every control now shows its held value, which is the drive's or
    // what it last took.
    if (!saveAndValidate) MarkUnedited({Column::Current, Column::Saved});
    return !dx.Failed();
}

std::string CModePage::ControlText(int controlId) const
{
    if (EditField* edit = controls->Edit(controlId)) return edit->Text();
    if (CheckField* check = controls->Check(controlId)) return check->Checked() ? "1" : "0";
    return {};
}

void CModePage::MarkUnedited(std::initializer_list<Column> columns)
{
    if (!controls) return;
    for (const ModeField& field : table.fields)
        for (Column column : columns) {
            const int id = field.controls[static_cast<size_t>(column)];
            unedited[id] = ControlText(id);
        }
}

bool CModePage::Edited() const
{
    if (!controls) return false;
    for (const ModeField& field : table.fields)
        for (Column column : {Column::Current, Column::Saved}) {
            const int id = field.controls[static_cast<size_t>(column)];
            const auto found = unedited.find(id);
            if (found != unedited.end() && ControlText(id) != found->second) return true;
        }
    return false;
}

void CModePage::CopyFields(const uint8_t* buffer, const PageSpan& page, Column column)
{
    for (size_t i = 0; i < table.fields.size(); ++i)
        values[i][static_cast<size_t>(column)] = ReadField(buffer, page, table.fields[i]);
    columnRead[static_cast<size_t>(column)] = true;
}

bool CModePage::ReadColumn(uint8_t pageControl, Column column)
{
    // A reply that holds another page than asked for is no reply to use.
    ModeBuffer buffer{};
    if (!ReadModePage(buffer.data(), pageControl, pageCode)) return false;
    const auto page = LocatePage(buffer, pageCode);
    if (!page) return false;
    CopyFields(buffer.data(), *page, column);
    UpdateData(false);
    return true;
}

void CModePage::RefreshFields()
{
    ReadColumn(kPageControlCurrent, Column::Current);
    ReadColumn(kPageControlSaved, Column::Saved);
    if (!table.defaultsFromSheet) ReadColumn(kPageControlDefault, Column::Default);
}

void CModePage::LockUnchangeable()
{
    ModeBuffer buffer{};
    if (!ReadModePage(buffer.data(), kPageControlChangeable, pageCode)) return;
    const auto page = LocatePage(buffer, pageCode);
    if (!page) return;
    changeable = buffer;
    changeableSpan = page;
    for (size_t i = 0; i < table.fields.size(); ++i)
        locked[i] = FieldUnchangeable(changeable.data(), *changeableSpan, table.fields[i]);
    ApplyLocks();
}

bool CModePage::ChangesFixedBits(const ModeBuffer& asRead, const PageSpan& page, size_t index, uint64_t value)
{
    if (!changeableSpan) return false;
    const ModeField& field = table.fields[index];
    const uint64_t mask = ReadField(changeable.data(), *changeableSpan, field);
    const uint64_t before = ReadField(asRead.data(), page, field);
    if (((before ^ value) & ~mask) == 0) return false;
    if (prompts) {
        const auto hex = [&](uint64_t number) {
            return StringPrintf("%0*llx", field.Digits(), static_cast<unsigned long long>(number));
        };
        prompts->Message(StringPrintf(kMsgFixedBits, field.label, hex(value).c_str(), hex(mask).c_str()),
                         kModeMessageCaption, UserPrompts::Icon::Warning);
    }
    return true;
}

void CModePage::ApplyLocks()
{
    if (!controls) return;
    for (size_t i = 0; i < table.fields.size(); ++i) {
        for (Column column : {Column::Current, Column::Saved}) {
            const int id = table.fields[i].controls[static_cast<size_t>(column)];
            if (EditField* edit = controls->Edit(id)) edit->SetReadOnly(locked[i]);
            if (CheckField* check = controls->Check(id)) check->SetReadOnly(locked[i]);
        }
    }
}

void CModePage::OnInitDialog()
{
    RefreshFields();
    LockUnchangeable();
}

ModeSaveResult CModePage::Save(uint8_t pageControl, Column column, int save)
{
    if (!SheetDeviceOpen()) return ModeSaveResult::NoDevice;
    ModeBuffer buffer{};
    if (!ReadModePage(buffer.data(), pageControl, pageCode)) return ModeSaveResult::ReadFailed;
    const auto page = LocatePage(buffer, pageCode);
    if (!page) return ModeSaveResult::ReadFailed;
    // A field that refuses its text stops the save: half-typed values are
    // never sent.
    if (!UpdateData(true)) return ModeSaveResult::Invalid;
    const ModeBuffer asRead = buffer;
    const size_t columnIndex = static_cast<size_t>(column);
    for (size_t i = 0; i < table.fields.size(); ++i) {
        // A field the drive cannot change goes back as the drive has it.
        if (locked[i]) continue;
        const ModeField& field = table.fields[i];
        if (field.zeroedOnSave) values[i][columnIndex] = 0;
        if (ChangesFixedBits(asRead, *page, i, values[i][columnIndex])) return ModeSaveResult::Unchangeable;
        WriteField(buffer.data(), *page, field, values[i][columnIndex]);
    }
    switch (WriteModePage(buffer.data(), save, &refusal)) {
    case kModeWriteDone:
        MarkUnedited({column});
        return ModeSaveResult::Sent;
    case kModeWriteNoDevice: return ModeSaveResult::NoDevice;
    default: return ModeSaveResult::DriveRefused;
    }
}

ModeSaveResult CModePage::OnSaveSaveable()
{
    return Save(kPageControlSaved, Column::Saved, 1);
}

ModeSaveResult CModePage::OnSaveCurrent()
{
    return Save(kPageControlCurrent, Column::Current, 0);
}
