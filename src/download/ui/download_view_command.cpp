#include "download/ui/download_view_command.h"

#include "download/download_messages.h"
#include "download/ui/download_dlg.h"
#include "shell/device_table.h"
#include "shell/ui/kestrion_view.h"
#include "shell/ui/qt_prompts.h"
#include "shell/ui/view_commands.h"

void InstallDownloadCommand(CKestrionView& view)
{
    view.SetCommandHandler(kCmdDownloadFile, [&view] { OnDownloadMicrocode(view.window()); });
}

void OnDownloadMicrocode(QWidget* parent, UserPrompts* prompts)
{
    if (!AnyDeviceSelected()) {
        // The setup check's box belongs to no window, as it always has.
        QtPrompts unowned(nullptr);
        (prompts ? *prompts : unowned)
            .Message(kMsgNoDriveSelected, kCaptionSetupError, UserPrompts::Icon::Information);
        return;
    }
    CDownloadDlg dialog(parent, prompts);
    dialog.exec();
}
