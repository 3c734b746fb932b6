#pragma once

#include <QDialog>

#include "smart/normalized_smart.h"

class QPushButton;
class QTabWidget;

// The "Smart Data" property sheet: one tab per page the builder added, in
// that order, and "Exit". It only displays.
class CNormalizedSMART : public QDialog {
    Q_OBJECT

public:
    explicit CNormalizedSMART(const SmartSheet& sheet, QWidget* parent = nullptr);

    QTabWidget* Tabs() const { return tabs; }

private:
    QTabWidget* tabs;
};
