#pragma once

#include <string>

#include "modepages/mode_page.h"

// One line that says what a save of a page's column came to on a drive,
// for the sheet's status bar and the command line.
std::string SaveStatusText(const CModePage& page, ModeSaveResult result, Column column, const std::string& drivePath);
