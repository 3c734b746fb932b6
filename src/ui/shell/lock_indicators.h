#pragma once

#include <array>

#include <QObject>

class QLabel;
class QStatusBar;
class QTimer;

// The CAP, NUM and SCRL panes at the right of the status bar. A pane's text
// is greyed while its lock is off, or when the display cannot tell.
class LockIndicators : public QObject {
    Q_OBJECT

public:
    // Adds the three panes to the bar (objectNames 59137, 59138, 59139).
    explicit LockIndicators(QStatusBar& statusBar);

    // Reads the lock states again.
    void Refresh();

private:
    enum Lock { Caps, Num, Scroll, LockCount };
    std::array<QLabel*, LockCount> panes{};
    QTimer* poll = nullptr;
};
