#pragma once

#include <QWidget>

#include "smart/smart_parameters.h"

// One tab of the "Smart Data" sheet, built from its page's table: a
// read-only edit per field (objectName: the control id) under its label.
// The widget's objectName is the page's class name, its "dialogId"
// property the page's dialog id.
class CSmartPage : public QWidget {
    Q_OBJECT

public:
    explicit CSmartPage(const SmartTab& tab, QWidget* parent = nullptr);

    const SmartPageSpec& PageTable() const { return pageTable; }

private:
    const SmartPageSpec& pageTable;
};
