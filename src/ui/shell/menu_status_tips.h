#pragma once

#include <QObject>

class QAction;
class QMenu;

// Shows a menu item's status text while the pointer is on it even when the
// item is disabled (Qt itself only tells it for enabled items), so a user
// learns what a greyed command would do.
class MenuStatusTips : public QObject {
    Q_OBJECT

public:
    // Watches the menu for its lifetime.
    static void Install(QMenu& menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit MenuStatusTips(QMenu& menu);
    void Show(const QString& text);

    QMenu& menu;
    QAction* shownFor = nullptr;
};
