#pragma once

#include <vector>

#include <QRect>
#include <QString>

struct DeviceEntry;

// Where one entry's button stands in the view and what it says.
struct ButtonPlace {
    DeviceEntry* entry = nullptr;
    QString caption;  // "Controller 0", "SCSI Device 3"
    int controlId = 0;
    QRect rect;
    bool hasMenu = false;  // drives carry the device menu, controllers none
};

// The buttons of the device table: one column per bus, its controller on
// top and its drives below in table order; controllers first.
std::vector<ButtonPlace> LayOutButtons();
