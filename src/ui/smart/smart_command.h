#pragma once

class CKestrionView;
struct DeviceEntry;

// Gives the view command 32785 ("Display the Normalized SMART data"),
// which opens the "Smart Data" sheet for a drive: from its device menu, or
// from the main menu for the one selected drive.
void InstallSmartCommand(CKestrionView& view);

// The command itself.
void OnNormalizedSmartCommand(DeviceEntry& drive);
