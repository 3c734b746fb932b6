#include "ui/smart/smart_command.h"

#include "drives/device_info.h"
#include "smart/normalized_smart.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/qt_prompts.h"
#include "ui/shell/view_commands.h"
#include "ui/smart/normalized_smart_sheet.h"

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
