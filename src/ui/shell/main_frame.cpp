#include "ui/shell/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>

#include "drives/run_messages.h"
#include "ui/shell/about_box.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/lock_indicators.h"
#include "ui/shell/menu_status_tips.h"
#include "ui/shell/qt_prompts.h"
#include "ui/shell/view_commands.h"

namespace {

constexpr const char* kIdleMessage = "Ready";
constexpr int kMainMenuId = 128;
// How often the frame looks whether a stopped run has ended.
constexpr int kRunWatchMs = 100;

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
    // Tab goes from drive button to drive button, with no stop on the area
    // around them; it still scrolls to the button Tab reaches.
    scrollArea->setFocusPolicy(Qt::NoFocus);
    scrollArea->setWidget(view);
    setCentralWidget(scrollArea);
    connect(view, &CKestrionView::DiscoveryFinished, this, &CMainFrame::OnDiscoveryFinished);
    connect(view, &CKestrionView::StopRequested, this, &CMainFrame::WatchRuns);
    runWatch.setInterval(kRunWatchMs);
    connect(&runWatch, &QTimer::timeout, this, &CMainFrame::OnRunWatch);

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
    // The one-drive sheets are offered here too, for the one selected drive.
    utilities->addSeparator();
    for (const ViewCommand& command : ViewCommands()) {
        if (command.onSelectedDrive) utilities->addAction(view->SelectedDriveAction(command.id));
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    // The separator stands above the first item, where a menu would drop it.
    help->setSeparatorsCollapsible(false);
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
    idleMessage = QString::fromUtf8(kIdleMessage);
    messagePane = new QLabel(idleMessage, bar);
    messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(messagePane, 1);
    lockIndicators = new LockIndicators(*bar);
}

QString CMainFrame::IdleMessage() const { return messagePane->text(); }

void CMainFrame::OnDiscoveryFinished(int driveCount)
{
    if (driveCount > 0) return;
    idleMessage = QString::fromUtf8(simulatedBench ? kNoBenchDrivesHint : kNoDrivesHint);
    messagePane->setText(idleMessage);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    ActiveRuns& runs = view->Runs();
    if (!runs.AnyRunning()) {
        QMainWindow::closeEvent(event);
        return;
    }
    // The program ends only once every run has put back what it changed;
    // the window closes itself when they have.
    event->ignore();
    if (!quitPending && !QtPrompts(this).AskYesNo(kMsgQuitDuringRun, kCaptionQuit)) return;
    quitPending = true;
    runs.StopAll();
    WatchRuns();
}

void CMainFrame::WatchRuns()
{
    ShowRunState();
    if (!runWatch.isActive()) runWatch.start();
}

void CMainFrame::OnRunWatch()
{
    ShowRunState();
    const ActiveRuns& runs = view->Runs();
    if (quitPending && !runs.AnyRunning()) {
        runWatch.stop();
        close();
        return;
    }
    if (!quitPending && !runs.AnyStopping()) runWatch.stop();
}

void CMainFrame::ShowRunState()
{
    messagePane->setText(view->Runs().AnyStopping() ? QString::fromUtf8(kMsgWaitingForDrive) : idleMessage);
}

void CMainFrame::OnAppAbout()
{
    CAboutBox about(this);
    about.exec();
}
