#include "ui/download/download_view_command.h"

#include <optional>

#include "download/download_messages.h"
#include "drives/active_runs.h"
#include "drives/device_table.h"
#include "ui/download/download_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/qt_prompts.h"
#include "ui/shell/view_commands.h"

namespace {

// The dialog's download, as a run the program waits for.
class DownloadDialogRun final : public ActiveRun {
public:
    explicit DownloadDialogRun(CDownloadDlg& dialog) : dialog(dialog) {}
    bool Running() const override { return dialog.Sequence().Busy(); }
    bool Stopping() const override { return Running() && dialog.Sequence().StopRequested(); }
    // Cancel: nothing more goes to the drive in work, no later drive starts,
    // and the dialog closes at once.
    void RequestStop() override { dialog.OnCancel(); }

private:
    CDownloadDlg& dialog;
};

}  // namespace

void InstallDownloadCommand(CKestrionView& view)
{
    view.SetCommandHandler(kCmdDownloadFile, [&view] { OnDownloadMicrocode(view.window(), nullptr, &view.Runs()); });
}

void OnDownloadMicrocode(QWidget* parent, UserPrompts* prompts, ActiveRuns* runs)
{
    if (!AnyDeviceSelected()) {
        // The setup check's box belongs to no window, as it always has.
        QtPrompts unowned(nullptr);
        (prompts ? *prompts : unowned)
            .Message(kMsgNoDriveSelected, kCaptionSetupError, UserPrompts::Icon::Information);
        return;
    }
    CDownloadDlg dialog(parent, prompts);
    DownloadDialogRun run(dialog);
    std::optional<ActiveRuns::Scoped> counted;
    if (runs) counted.emplace(*runs, run);
    dialog.exec();
}
