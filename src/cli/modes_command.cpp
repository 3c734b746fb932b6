// kestrion-cli modes: the mode page sheet as text or JSON, and its two
// saves through the same read, exchange and write as the workstation's.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <iomanip>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "cli/drive_report.h"
#include "drives/device_entry.h"
#include "modepages/field_text_form.h"
#include "modepages/mode_save_report.h"
#include "modepages/mode_sheet.h"
#include "platform/user_prompts.h"
#include "scsi/string_format.h"

namespace {

struct ModesOptions {
    std::string drive;
    std::string page;
    std::vector<std::string> sets;
    bool current = false;
    bool saved = false;
};

// The exchange's messages go to stderr, as the sheet shows them in boxes.
class CliPrompts final : public UserPrompts {
public:
    explicit CliPrompts(Console& console) : console(console) {}
    void Message(const std::string& text, const std::string&, Icon) override { console.Message(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&, const std::string&, bool) override
    {
        return std::nullopt;
    }

private:
    Console& console;
};

std::string CodeText(uint8_t code)
{
    return StringPrintf("%02Xh", code);
}

// "08", "8", "0x08", "08h", "1c".
bool ParsePageCode(std::string text, uint8_t& code)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
    if (!text.empty() && (text.back() == 'h' || text.back() == 'H')) text.pop_back();
    if (text.empty() || text.size() > 2) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    code = static_cast<uint8_t>(std::stoul(text, nullptr, 16));
    return code < 0x3F;
}

bool SameLabel(const std::string& a, const char* b)
{
    const std::string other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

const char* KindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Bit: return "bit";
    case FieldKind::Nibble: return "nibble";
    case FieldKind::Byte: return "byte";
    case FieldKind::Word: return "word";
    case FieldKind::Triple: return "triple";
    case FieldKind::Dword: return "dword";
    case FieldKind::Qword: return "qword";
    case FieldKind::Decimal: return "decimal";
    }
    return "";
}

constexpr Column kColumns[] = {Column::Current, Column::Saved, Column::Default};
constexpr const char* kColumnNames[] = {"current", "saved", "default"};

// What a column shows: the control's text, "-" when the drive never answered for it.
std::string Shown(const CModePage& page, const FieldTextForm& form, const ModeField& field, Column column)
{
    return page.ColumnRead(column) ? form.Shown(field, column) : "-";
}

// The columns a run shows: all three, or the one --current or --saved names.
std::vector<size_t> ShownColumns(const ModesOptions& options)
{
    if (options.sets.empty() && options.current) return {0};
    if (options.sets.empty() && options.saved) return {1};
    return {0, 1, 2};
}

void PrintPage(std::ostream& out, const CModePage& page, const FieldTextForm& form, const std::vector<size_t>& columns)
{
    constexpr const char* kHeadings[] = {"Current (hex)", "Saved (hex)", "Default (hex)"};
    out << page.Table().caption << " (page " << CodeText(page.PageCode()) << ")\n";
    out << "  " << std::left << std::setw(44) << "Field";
    for (size_t i : columns) out << std::setw(i == columns.back() ? 0 : 18) << kHeadings[i];
    out << '\n';
    bool anyLocked = false;
    for (const ModeField& field : page.Fields()) {
        const bool locked = form.ReadOnly(field, Column::Current);
        anyLocked = anyLocked || locked;
        out << "  " << std::setw(44) << (std::string(field.label) + (locked ? " *" : ""));
        for (size_t i : columns)
            out << std::setw(i == columns.back() ? 0 : 18) << Shown(page, form, field, kColumns[i]);
        out << '\n';
    }
    out << std::right;
    if (anyLocked) out << "  * not changeable on this drive\n";
    for (size_t i : columns)
        if (!page.ColumnRead(kColumns[i])) out << "  (" << kColumnNames[i] << " values could not be read)\n";
    out << '\n';
}

// A label as a key: lower case, words joined by "_" ("Minimum Pre-fetch"
// is minimum_pre_fetch, "SCSI-2 (S2)" scsi_2_s2).
std::string FieldName(const char* label)
{
    std::string name;
    for (const char* c = label; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    if (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

// A column's value as a number (a bit as true or false); null when the
// drive never answered for the column.
Json FieldValue(const CModePage& page, const FieldTextForm& form, const ModeField& field, Column column)
{
    if (!page.ColumnRead(column)) return nullptr;
    const std::string shown = Trimmed(form.Shown(field, column));
    if (field.kind == FieldKind::Bit) return shown == "1";
    uint64_t value = 0;
    const int base = field.kind == FieldKind::Decimal ? 10 : 16;
    const auto [end, error] = std::from_chars(shown.data(), shown.data() + shown.size(), value, base);
    if (error != std::errc() || end != shown.data() + shown.size() || shown.empty()) return nullptr;
    return value;
}

Json PageJson(const CModePage& page, const FieldTextForm& form)
{
    Json fields = Json::array();
    for (const ModeField& field : page.Fields()) {
        Json item{{"name", FieldName(field.label)},
                  {"label", field.label},
                  {"kind", KindName(field.kind)},
                  {"changeable", !form.ReadOnly(field, Column::Current)}};
        for (size_t i = 0; i < kColumnCount; ++i) item[kColumnNames[i]] = FieldValue(page, form, field, kColumns[i]);
        fields.push_back(std::move(item));
    }
    return {{"code", page.PageCode()}, {"title", page.Table().caption}, {"fields", std::move(fields)}};
}

// Puts one "LABEL=VALUE" into the form's column. An exit status when it
// cannot be done, kExitOk otherwise.
int ApplySet(CliContext& context, const std::string& set, CModePage& page, FieldTextForm& form, Column column)
{
    Console& console = *context.console;
    const size_t equals = set.find('=');
    if (equals == std::string::npos) {
        console.Message("--set takes LABEL=VALUE, not \"" + set + "\"");
        return kExitUsage;
    }
    const std::string label = Trimmed(set.substr(0, equals));
    const std::string value = set.substr(equals + 1);
    const auto field = std::find_if(page.Fields().begin(), page.Fields().end(),
                                    [&](const ModeField& candidate) { return SameLabel(label, candidate.label); });
    if (field == page.Fields().end()) {
        std::string message = std::string(page.Table().caption) + " has no field \"" + label + "\"; its fields are:";
        for (const ModeField& candidate : page.Fields()) message += std::string("\n  ") + candidate.label;
        console.Message(message);
        return kExitUsage;
    }
    if (form.ReadOnly(*field, column)) {
        console.Message(std::string("\"") + field->label +
                        "\" cannot be changed on this drive (its changeable value is zero)");
        return kExitUsage;
    }
    const int id = field->controls[static_cast<size_t>(column)];
    if (field->kind != FieldKind::Bit) {
        form.Edit(id)->SetText(value);
        return kExitOk;
    }
    const std::string bit = Trimmed(value);
    if (bit != "0" && bit != "1") {
        console.Message(std::string("\"") + field->label + "\" is a bit: give 0 or 1");
        return kExitUsage;
    }
    form.Check(id)->SetChecked(bit == "1");
    return kExitOk;
}

int Write(CliContext& context, const ModesOptions& options, const DeviceEntry& drive, CModePage& page,
          FieldTextForm& form)
{
    const Column column = options.saved ? Column::Saved : Column::Current;
    for (const std::string& set : options.sets)
        if (const int status = ApplySet(context, set, page, form, column); status != kExitOk) return status;

    const ModeSaveResult result = options.saved ? page.OnSaveSaveable() : page.OnSaveCurrent();
    const std::string said = SaveStatusText(page, result, column, &drive);
    switch (result) {
    case ModeSaveResult::Sent:
        if (!context.json) context.console->out() << said << "\n\n";
        return kExitOk;
    case ModeSaveResult::Invalid:       // the exchange has said why
    case ModeSaveResult::Unchangeable:  // and so has the save
        return kExitUsage;
    case ModeSaveResult::ReadFailed:
    case ModeSaveResult::DriveRefused:
    case ModeSaveResult::NoDevice: break;
    }
    context.console->Message(said);
    return kExitDeviceFailure;
}

int RunModes(CliContext& context, const ModesOptions& options)
{
    Console& console = *context.console;
    const bool writing = !options.sets.empty();
    if (writing && (options.page.empty() || options.current == options.saved)) {
        console.Message("--set needs --page and one of --current or --saved");
        return kExitUsage;
    }
    uint8_t code = 0;
    if (!options.page.empty() && !ParsePageCode(options.page, code)) {
        console.Message("\"" + options.page + "\" is not a page code (08, 0x1C, 1Ah)");
        return kExitUsage;
    }
    std::vector<DeviceEntry*> drives;
    int status = context.DiscoverNamed({options.drive}, drives);
    if (status != kExitOk) return status;
    DeviceEntry* entry = drives.front();
    context.result["drive"] = DriveJson(*context.catalog, *entry);
    context.result["pages"] = Json::array();
    context.result["written"] = nullptr;

    CModeSheetPages sheet;
    if (!sheet.Open(entry)) {
        console.Message(entry->path + " did not answer MODE SENSE (default values of all pages)");
        return kExitDeviceFailure;
    }
    std::vector<CModePage*> shown = sheet.Added();
    if (!options.page.empty()) {
        CModePage* page = sheet.AddedPage(code);
        if (page == nullptr) {
            std::string message = entry->path + " does not report a mode page " + CodeText(code) +
                                  " that the editor knows; it reports:";
            for (const CModePage* added : sheet.Added()) message += ' ' + CodeText(added->PageCode());
            console.Message(message);
            return kExitDeviceFailure;
        }
        shown = {page};
    }

    CliPrompts prompts(console);
    std::vector<std::unique_ptr<FieldTextForm>> forms;
    for (CModePage* page : shown) {
        forms.push_back(std::make_unique<FieldTextForm>(page->Table()));
        page->AttachControls(forms.back().get(), &prompts);
        page->OnInitDialog();
    }
    if (writing) {
        status = Write(context, options, *entry, *shown[0], *forms[0]);
        // Show what the drive holds now.
        if (status == kExitOk) shown[0]->RefreshFields();
    }

    std::ostream& out = console.out();
    if (context.json) {
        Json pages = Json::array();
        for (size_t i = 0; i < shown.size(); ++i) pages.push_back(PageJson(*shown[i], *forms[i]));
        context.result["pages"] = std::move(pages);
        if (writing && status == kExitOk) context.result["written"] = options.saved ? "saved" : "current";
    } else if (!writing || status == kExitOk) {
        out << entry->path << "  " << Trimmed(entry->vendorId) << ' ' << Trimmed(entry->productId) << "\n\n";
        for (size_t i = 0; i < shown.size(); ++i) PrintPage(out, *shown[i], *forms[i], ShownColumns(options));
    }
    for (CModePage* page : shown) page->AttachControls(nullptr, nullptr);
    return status;
}

}  // namespace

CLI::App* AddModesCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* modes = parent.add_subcommand(
        "modes", "Show a drive's mode pages (Current, Saved and Default values); --set changes fields of one page");
    auto options = std::make_shared<ModesOptions>();
    modes->add_option("DRIVE", options->drive, kDriveHelp)->required()->check(kNotEmpty);
    modes->add_option("--page", options->page, "Only this page: its code in hexadecimal (08, 0x1C, 1Ah)")
        ->check(kNotEmpty);
    modes->add_option("--set", options->sets,
                      "LABEL=VALUE: a field's new value, hexadecimal as the sheet shows it (bits 0 or 1); "
                      "repeat for more fields")
        ->type_name("LABEL=VALUE");
    auto* current = modes->add_flag("--current", options->current,
                                    "--set writes the Current values (no SP); without --set: show only them");
    auto* saved = modes->add_flag("--saved", options->saved,
                                  "--set writes the Saved values (MODE SELECT with SP); without --set: show only them");
    current->excludes(saved);
    modes->add_flag("--json", context.json, "Machine-readable output");
    run = [options](CliContext& context) { return RunModes(context, *options); };
    return modes;
}
