#include "ui/app/workstation.h"

#include "ui/download/download_view_command.h"
#include "ui/legacytest/legacy_test_commands.h"
#include "ui/modepages/mode_commands.h"
#include "ui/scan/scan_commands.h"
#include "ui/selftest/dst_commands.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "ui/smart/smart_command.h"

std::unique_ptr<CMainFrame> MakeWorkstation(DeviceCatalog& catalog, bool simulatedBench)
{
    auto frame = std::make_unique<CMainFrame>(catalog, simulatedBench);
    CKestrionView& view = *frame->View();
    InstallSelfTestCommands(view, catalog);
    InstallDownloadCommand(view);
    InstallSmartCommand(view);
    InstallModePageCommand(view);
    InstallLegacyTestCommands(view, catalog);
    InstallSurfaceScanCommand(view);
    return frame;
}
