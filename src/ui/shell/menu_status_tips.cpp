#include "ui/shell/menu_status_tips.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusTipEvent>

MenuStatusTips::MenuStatusTips(QMenu& menu) : QObject(&menu), menu(menu) { menu.installEventFilter(this); }

void MenuStatusTips::Install(QMenu& menu) { new MenuStatusTips(menu); }

void MenuStatusTips::Show(const QString& text)
{
    // Up the parents as Qt does for enabled items, until the main window
    // takes it into its status bar.
    for (QWidget* widget = &menu; widget; widget = widget->parentWidget()) {
        QStatusTipEvent tip(text);
        if (QCoreApplication::sendEvent(widget, &tip)) return;
    }
}

bool MenuStatusTips::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &menu) return false;
    if (event->type() == QEvent::MouseMove) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QAction* action = menu.actionAt(mouse->position().toPoint());
        const bool disabledWithTip = action && !action->isEnabled() && !action->statusTip().isEmpty();
        if (disabledWithTip && action != shownFor) {
            shownFor = action;
            // After the menu has handled the move: leaving an enabled item
            // clears the status bar.
            QMetaObject::invokeMethod(
                this,
                [this, action] {
                    if (shownFor == action) Show(action->statusTip());
                },
                Qt::QueuedConnection);
        } else if (!disabledWithTip && shownFor) {
            shownFor = nullptr;
            if (!action || action->isSeparator()) Show(QString());
        }
    } else if ((event->type() == QEvent::Hide || event->type() == QEvent::Leave) && shownFor) {
        shownFor = nullptr;
        Show(QString());
    }
    return false;
}
