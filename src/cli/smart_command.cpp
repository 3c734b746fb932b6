// kestrion-cli smart: the "Smart Data" sheet as text or JSON.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/argument_checks.h"
#include "cli/cli_commands.h"
#include "drives/device_entry.h"
#include "platform/user_prompts.h"
#include "smart/normalized_smart.h"

namespace {

// The sheet's messages go to stderr as "kestrion-cli: SMART error: TEXT";
// the command asks no questions and chooses no files.
class StderrPrompts final : public UserPrompts {
public:
    explicit StderrPrompts(std::ostream& err) : err(err) {}

    void Message(const std::string& text, const std::string& caption, Icon) override
    {
        err << "kestrion-cli: " << caption << ": " << text << '\n';
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&, const std::string&,
                                          bool) override
    {
        return std::nullopt;
    }

private:
    std::ostream& err;
};

std::string Trimmed(const char* text)
{
    std::string value(text);
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

nlohmann::json SheetJson(const DeviceEntry& entry, const SmartSheet& sheet)
{
    nlohmann::json tabs = nlohmann::json::array();
    for (const SmartTab& tab : sheet.tabs) {
        const SmartPageSpec& page = *tab.page;
        nlohmann::json fields = nlohmann::json::array();
        for (size_t i = 0; i < page.fields.size(); ++i)
            fields.push_back({{"label", page.fields[i].label},
                              {"control", page.fields[i].controlId},
                              {"value", i < tab.values.size() ? tab.values[i] : std::string()}});
        nlohmann::json item{{"page", page.className}, {"caption", page.caption}, {"dialog", page.dialogId}};
        item["parameterCode"] = page.parameterCode == kNoParameterCode ? nlohmann::json(nullptr)
                                                                       : nlohmann::json(page.parameterCode);
        item["fields"] = std::move(fields);
        tabs.push_back(std::move(item));
    }
    return {{"drive", entry.path}, {"title", kSmartSheetTitle}, {"tabs", std::move(tabs)}};
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
    smart->add_option("DRIVE", *drive, "Device path or drive number")->required()->check(kNotEmpty);
    smart->add_flag("--json", context.json, "Machine-readable output");
    run = [drive](CliContext& context) {
        if (const int status = context.Discover(); status != kExitOk) return status;
        int status = kExitOk;
        DeviceEntry* entry = context.FindDrive(*drive, status);
        if (entry == nullptr) return status;
        if (!entry->handle) {
            context.console->err() << "kestrion-cli: " << entry->path << " is not open\n";
            return kExitDeviceFailure;
        }
        StderrPrompts prompts(context.console->err());
        const std::optional<SmartSheet> sheet = OnNormalizedSmart(entry, prompts);
        if (!sheet) return kExitDeviceFailure;
        if (context.json)
            context.console->out() << SheetJson(*entry, *sheet).dump(2) << '\n';
        else
            PrintSheet(context.console->out(), *entry, *sheet);
        return kExitOk;
    };
    return smart;
}
