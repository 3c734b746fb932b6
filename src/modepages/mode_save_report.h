#pragma once

#include <string>

#include "modepages/mode_page.h"

struct DeviceEntry;

// One line that says what a save of a page's column came to on a drive
// (named by its path), for the sheet's status bar and the command line.
std::string SaveStatusText(const CModePage& page, ModeSaveResult result, Column column, const DeviceEntry* drive);
