// kestrion-cli smart: the "Smart Data" sheet as text or JSON.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "cli/drive_report.h"
#include "drives/device_entry.h"
#include "platform/user_prompts.h"
#include "smart/normalized_smart.h"

namespace {

// The sheet's messages go to stderr as "kestrion-cli: SMART error: TEXT";
// the command asks no questions and chooses no files.
class StderrPrompts final : public UserPrompts {
public:
    explicit StderrPrompts(Console& console) : console(console) {}

    void Message(const std::string& text, const std::string& caption, Icon) override
    {
        console.Message(caption + ": " + text);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&, const std::string&,
                                          bool) override
    {
        return std::nullopt;
    }

private:
    Console& console;
};

std::string Trimmed(const char* text)
{
    std::string value(text);
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

// Each tab as a page with its fields by name; a field the drive gave no
// bytes for is null.
Json SheetJson(const SmartSheet& sheet)
{
    Json pages = Json::array();
    for (const SmartTab& tab : sheet.tabs) {
        const SmartPageSpec& page = *tab.page;
        Json fields = Json::object();
        for (size_t i = 0; i < page.fields.size(); ++i) {
            const bool known = i < tab.numbers.size() && tab.numbers[i];
            fields[page.fields[i].key] = known ? Json(*tab.numbers[i]) : Json(nullptr);
        }
        pages.push_back({{"name", page.key},
                         {"title", page.caption},
                         {"parameter_code", page.parameterCode == kNoParameterCode ? Json(nullptr)
                                                                                   : Json(page.parameterCode)},
                         {"fields", std::move(fields)}});
    }
    return pages;
}

void PrintSheet(std::ostream& out, const DeviceEntry& entry, const SmartSheet& sheet)
{
    out << kSmartSheetTitle << ": " << entry.path << " (" << Trimmed(entry.vendorId) << ' '
        << Trimmed(entry.productId) << ")\n";
    size_t width = 0;
    for (const SmartTab& tab : sheet.tabs)
        for (const SmartFieldSpec& field : tab.page->fields) width = std::max(width, std::strlen(field.label));
    for (const SmartTab& tab : sheet.tabs) {
        out << '\n' << tab.page->caption << '\n';
        for (size_t i = 0; i < tab.page->fields.size(); ++i) {
            const std::string label = std::string(tab.page->fields[i].label) + ':';
            const std::string value = i < tab.values.size() ? tab.values[i] : std::string();
            out << "  " << label;
            if (!value.empty()) out << std::string(width + 2 - label.size(), ' ') << value;
            out << '\n';
        }
    }
}

}  // namespace

CLI::App* AddSmartCommand(CLI::App& parent, CliContext& context, CliRun& run)
{
    auto* smart = parent.add_subcommand("smart", "Show a drive's normalized SMART data (the \"Smart Data\" sheet)");
    auto drive = std::make_shared<std::string>();
    smart->add_option("DRIVE", *drive, kDriveHelp)->required()->check(kNotEmpty);
    smart->add_flag("--json", context.json, "Machine-readable output");
    run = [drive](CliContext& context) {
        std::vector<DeviceEntry*> drives;
        if (const int status = context.DiscoverNamed({*drive}, drives); status != kExitOk) return status;
        DeviceEntry* entry = drives.front();
        context.result["drive"] = DriveJson(*context.catalog, *entry);
        context.result["pages"] = Json::array();
        StderrPrompts prompts(*context.console);
        const std::optional<SmartSheet> sheet = OnNormalizedSmart(entry, prompts);
        if (!sheet) return kExitDeviceFailure;
        if (context.json)
            context.result["pages"] = SheetJson(*sheet);
        else
            PrintSheet(context.console->out(), *entry, *sheet);
        return kExitOk;
    };
    return smart;
}
