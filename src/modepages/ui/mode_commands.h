#pragma once

class CKestrionView;

// Command 32791: the "Mode Sense Pages" sheet for the view's current
// device. Installing it enables the command.
void InstallModePageCommand(CKestrionView& view);

// What the command does: shows the sheet modally when the drive's pages
// can be read; nothing (and no message) otherwise.
void OnModeSense(CKestrionView& view);
