#include "ui/modepages/mode_sheet_dlg.h"

#include <QDialogButtonBox>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "drives/device_info.h"
#include "modepages/mode_save_report.h"
#include "ui/modepages/mode_page_widget.h"
#include "ui/shell/qt_prompts.h"

namespace {

// The sheet's own buttons carry fixed dialog ids, so tests and users'
// scripts find them.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdHelp = 9;
constexpr const char* kExitText = "Exit";
constexpr const char* kUnsavedQuestion = "Close without saving the changes made on these pages?\n";

}  // namespace

CModeSPages::CModeSPages(QWidget* parent)
    : QDialog(parent), pages(std::make_unique<CModeSheetPages>()), prompts(std::make_unique<QtPrompts>(this))
{
    setObjectName(QStringLiteral("CModeSPages"));
    setWindowTitle(QString::fromUtf8(kTitle));
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->setUsesScrollButtons(true);
    buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    OkButton()->setObjectName(QString::number(kIdOk));
    CancelButton()->setObjectName(QString::number(kIdCancel));
    HelpButton()->setObjectName(QString::number(kIdHelp));
    // Closing writes nothing: OK and Cancel both just close.
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    statusBar->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttonBox);
    layout->addWidget(statusBar);
}

CModeSPages::~CModeSPages()
{
    // The tabs go first: each detaches itself from its page object.
    delete tabs;
    tabs = nullptr;
}

bool CModeSPages::Open(DeviceEntry* device)
{
    drive = device;
    if (!pages->Open(device)) return false;
    setWindowTitle(QString::fromUtf8(kTitle) + QStringLiteral(" - ") + QString::fromStdString(DriveTitle(*device)));
    for (CModePage* page : pages->Added()) {
        auto* widget = new CModePageWidget(*page, *prompts);
        connect(widget, &CModePageWidget::FirstShown, this, &CModeSPages::OnPageShown);
        connect(widget, &CModePageWidget::SaveFinished, this, &CModeSPages::OnSaveFinished);
        tabs->addTab(widget, QString::fromUtf8(page->Table().caption));
    }
    return true;
}

std::vector<CModePageWidget*> CModeSPages::PageWidgets() const
{
    std::vector<CModePageWidget*> widgets;
    for (int i = 0; i < tabs->count(); ++i) widgets.push_back(static_cast<CModePageWidget*>(tabs->widget(i)));
    return widgets;
}

QPushButton* CModeSPages::OkButton() const { return buttonBox->button(QDialogButtonBox::Ok); }
QPushButton* CModeSPages::CancelButton() const { return buttonBox->button(QDialogButtonBox::Cancel); }
QPushButton* CModeSPages::HelpButton() const { return buttonBox->button(QDialogButtonBox::Help); }

void CModeSPages::OnPageShown(CModePageWidget* widget)
{
    if (!widget->Page().Table().relabelsSheet) return;
    OkButton()->setText(QString::fromUtf8(kExitText));
    CancelButton()->hide();
    HelpButton()->hide();
}

void CModeSPages::OnSaveFinished(CModePageWidget* widget, ModeSaveResult result, Column column)
{
    const QString text = QString::fromStdString(SaveStatusText(widget->Page(), result, column, drive));
    statusBar->showMessage(text);
    if (auto* frame = qobject_cast<QMainWindow*>(parentWidget())) frame->statusBar()->showMessage(text);
}

void CModeSPages::done(int result)
{
    std::string edited;
    for (CModePageWidget* widget : PageWidgets())
        if (widget->Page().Edited()) edited += std::string("\n") + widget->Page().Table().caption;
    if (!edited.empty() && !prompts->AskYesNo(std::string(kUnsavedQuestion) + edited, kTitle)) return;
    QDialog::done(result);
}
