#include "ui/shell/lock_indicators.h"

#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#ifdef KESTRION_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace {

struct LockPane {
    int id;
    const char* text;
    const char* indicatorName;  // the X keyboard extension's name of the LED
};

constexpr std::array<LockPane, 3> kLockPanes{{
    {59137, "CAP", "Caps Lock"},
    {59138, "NUM", "Num Lock"},
    {59139, "SCRL", "Scroll Lock"},
}};

// Qt itself does not report lock states; an X display does, through its
// keyboard LEDs. Anywhere else the panes stay greyed.
bool QueryLock(const char* indicatorName, bool& on)
{
#ifdef KESTRION_HAVE_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return false;
    const Atom name = XInternAtom(display, indicatorName, True);
    Bool state = False;
    if (name == None || !XkbGetNamedIndicator(display, name, nullptr, &state, nullptr, nullptr)) {
        on = false;
        return true;
    }
    on = state != False;
    return true;
#else
    (void)indicatorName;
    (void)on;
    return false;
#endif
}

constexpr int kPollMilliseconds = 250;

}  // namespace

LockIndicators::LockIndicators(QStatusBar& statusBar) : QObject(&statusBar)
{
    for (size_t i = 0; i < kLockPanes.size(); ++i) {
        auto* pane = new QLabel(QString::fromLatin1(kLockPanes[i].text), &statusBar);
        pane->setObjectName(QString::number(kLockPanes[i].id));
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        pane->setEnabled(false);
        statusBar.addPermanentWidget(pane);
        panes[i] = pane;
    }
    bool on = false;
    if (QueryLock(kLockPanes[0].indicatorName, on)) {
        poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &LockIndicators::Refresh);
        poll->start(kPollMilliseconds);
        Refresh();
    }
}

void LockIndicators::Refresh()
{
    for (size_t i = 0; i < kLockPanes.size(); ++i) {
        bool on = false;
        const bool known = QueryLock(kLockPanes[i].indicatorName, on);
        panes[i]->setEnabled(known && on);
    }
}
