#include "smart/ui/smart_command.h"

#include "shell/device_info.h"
#include "shell/ui/kestrion_view.h"
#include "shell/ui/qt_prompts.h"
#include "shell/ui/view_commands.h"
#include "smart/normalized_smart.h"
#include "smart/ui/normalized_smart_sheet.h"

void InstallSmartCommand(CKestrionView& view)
{
    view.SetDriveCommandHandler(kCmdSmartData, [](DeviceEntry& drive) { OnNormalizedSmartCommand(drive); });
}

void OnNormalizedSmartCommand(DeviceEntry& drive)
{
    // The SMART messages and the sheet have no owner window.
    QtPrompts prompts(nullptr);
    const std::optional<SmartSheet> sheet = OnNormalizedSmart(&drive, prompts);
    if (!sheet) return;
    CNormalizedSMART dialog(*sheet, nullptr);
    dialog.setWindowTitle(QString::fromLatin1(kSmartSheetTitle) + QStringLiteral(" - ") +
                          QString::fromStdString(DriveTitle(drive)));
    dialog.exec();
}
