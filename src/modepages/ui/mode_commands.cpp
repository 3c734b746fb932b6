#include "modepages/ui/mode_commands.h"

#include "modepages/ui/mode_sheet_dlg.h"
#include "shell/ui/kestrion_view.h"
#include "shell/ui/view_commands.h"

void OnModeSense(CKestrionView& view)
{
    CModeSPages sheet(view.window());
    if (!sheet.Open(view.GetCurrentDevice())) return;
    sheet.exec();
}

void InstallModePageCommand(CKestrionView& view)
{
    view.SetCommandHandler(kCmdModePages, [&view] { OnModeSense(view); });
}
