#include "ui/selftest/dst_commands.h"

#include <QFileDialog>

#include "drives/active_runs.h"
#include "drives/device_table.h"
#include "platform/device_catalog.h"
#include "selftest/dst_log.h"
#include "ui/selftest/dst_results_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/qt_prompts.h"
#include "ui/shell/view_commands.h"

namespace {

// The log file may be a new one: an open-mode dialog that takes any name,
// and appends never overwrite, so nothing asks about replacing a file.
class DstLogFilePrompts final : public QtPrompts {
public:
    explicit DstLogFilePrompts(QWidget* owner) : QtPrompts(owner) {}

    std::optional<std::string> ChooseFile(const std::string& title, const std::string&, const std::string& initialName,
                                          bool) override
    {
        QFileDialog dialog(nullptr, QString::fromStdString(title));
        dialog.setObjectName(QStringLiteral("dstLogFileDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("log"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.selectFile(QString::fromStdString(initialName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().first().toStdString();
    }
};

// The dialog's self-tests, as a run the program waits for: stopping them
// aborts them, as closing the dialog does.
class DstDialogRun final : public ActiveRun {
public:
    explicit DstDialogRun(CDstResultsDlg& dialog) : dialog(dialog) {}
    bool Running() const override { return dialog.Run().TimerArmed(); }
    bool Stopping() const override { return false; }
    void RequestStop() override { dialog.OnCancelButton(); }

private:
    CDstResultsDlg& dialog;
};

void ShowDstDialog(CKestrionView& view, const DeviceCatalog& catalog, bool allDrives)
{
    CDstResultsDlg dialog(catalog.PathPrefix(), view.window());
    dialog.SetAllDrives(allDrives);
    DstDialogRun run(dialog);
    ActiveRuns::Scoped counted(view.Runs(), run);
    dialog.exec();
}

void OnDriveSelfTest(CKestrionView& view, const DeviceCatalog& catalog)
{
    if (!AnyDeviceSelected()) {
        QtPrompts(nullptr).Message("NO Drive Selected for Test", "DST Setup Error", UserPrompts::Icon::Information);
        return;
    }
    ShowDstDialog(view, catalog, false);
}

}  // namespace

void InstallSelfTestCommands(CKestrionView& view, DeviceCatalog& catalog)
{
    view.SetCommandHandler(kCmdSelfTest, [&view, &catalog] { OnDriveSelfTest(view, catalog); });
    view.SetCommandHandler(kCmdSelfTestSelected, [&view, &catalog] { OnDriveSelfTest(view, catalog); });
    view.SetCommandHandler(kCmdSelfTestAll, [&view, &catalog] { ShowDstDialog(view, catalog, true); });
    view.SetCommandHandler(kCmdSelfTestLogFile, [&view] {
        DstLogFilePrompts prompts(view.window());
        OnSelectDstLogFile(prompts);
    });
}
