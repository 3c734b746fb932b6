#include "shell/ui/main_frame.h"

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>

#include "shell/ui/about_box.h"
#include "shell/ui/kestrion_view.h"
#include "shell/ui/lock_indicators.h"
#include "shell/ui/menu_status_tips.h"
#include "shell/ui/view_commands.h"

namespace {

constexpr const char* kIdleMessage = "Ready";
constexpr int kMainMenuId = 128;

QAction* AddFrameCommand(QMenu* menu, int id, const char* text, const char* statusText)
{
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QString::number(id));
    action->setStatusTip(QString::fromUtf8(statusText));
    return action;
}

void AddViewCommands(QMenu* menu, const CKestrionView& view, CommandPlace place)
{
    for (const ViewCommand& command : ViewCommands()) {
        if (command.place == place) menu->addAction(view.CommandAction(command.id));
    }
}

}  // namespace

CMainFrame::CMainFrame(DeviceCatalog& catalog, bool simulatedBench, QWidget* parent)
    : QMainWindow(parent), simulatedBench(simulatedBench)
{
    setWindowTitle(QStringLiteral("Kestrion"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kestrion.png")));

    view = new CKestrionView(catalog);
    auto* scrollArea = new QScrollArea(this);
    scrollArea->setObjectName(QStringLiteral("viewScrollArea"));
    scrollArea->setWidgetResizable(true);
    scrollArea->setWidget(view);
    setCentralWidget(scrollArea);
    connect(view, &CKestrionView::DiscoveryFinished, this, &CMainFrame::OnDiscoveryFinished);

    CreateMenus();
    CreateStatusBar();
    resize(640, 480);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateMenus()
{
    menuBar()->setObjectName(QString::number(kMainMenuId));

    QMenu* files = menuBar()->addMenu(QStringLiteral("&Files"));
    QAction* exit = AddFrameCommand(files, kCmdAppExit, "E&xit", "Quit the application");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* statusBarToggle = AddFrameCommand(viewMenu, kCmdViewStatusBar, "&Status Bar", "Show or hide the status bar");
    statusBarToggle->setCheckable(true);
    statusBarToggle->setChecked(true);
    connect(statusBarToggle, &QAction::toggled, this, [this](bool shown) { statusBar()->setVisible(shown); });

    QMenu* test = menuBar()->addMenu(QStringLiteral("&Test"));
    AddViewCommands(test, *view, CommandPlace::TestMenu);

    QMenu* utilities = menuBar()->addMenu(QStringLiteral("&Utilities"));
    AddViewCommands(utilities, *view, CommandPlace::UtilitiesMenu);
    // The one-drive sheets are offered here too; they act on the drive whose
    // menu was opened last.
    utilities->addSeparator();
    utilities->addAction(view->CommandAction(kCmdSmartData));
    utilities->addAction(view->CommandAction(kCmdModePages));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addSeparator();
    QAction* about = AddFrameCommand(help, kCmdAppAbout, "&About Kestrion...",
                                     "Display program information, version number and copyright");
    connect(about, &QAction::triggered, this, &CMainFrame::OnAppAbout);

    for (QMenu* menu : {files, viewMenu, test, utilities, help}) MenuStatusTips::Install(*menu);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QString::number(kCmdViewStatusBar));
    // The message pane shows the idle text; a status tip covers it while the
    // pointer is on a menu item or a drive button.
    messagePane = new QLabel(QString::fromUtf8(kIdleMessage), bar);
    messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(messagePane, 1);
    lockIndicators = new LockIndicators(*bar);
}

QString CMainFrame::IdleMessage() const { return messagePane->text(); }

void CMainFrame::OnDiscoveryFinished(int driveCount)
{
    if (driveCount > 0) return;
    messagePane->setText(QString::fromUtf8(simulatedBench ? kNoBenchDrivesHint : kNoDrivesHint));
}

void CMainFrame::OnAppAbout()
{
    CAboutBox about(this);
    about.exec();
}
