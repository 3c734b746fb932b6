#pragma once

class CKestrionView;
struct DeviceEntry;

// Command 32791: the "Mode Sense Pages" sheet for a drive: from its device
// menu, or from the main menu for the one selected drive. Installing it
// enables the command.
void InstallModePageCommand(CKestrionView& view);

// What the command does: shows the sheet modally when the drive's pages
// can be read; nothing (and no message) otherwise.
void OnModeSense(CKestrionView& view, DeviceEntry& drive);
