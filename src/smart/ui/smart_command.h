#pragma once

class CKestrionView;

// Gives the view command 32785 ("Display the Normalized SMART data"),
// which opens the "Smart Data" sheet for the view's current device.
void InstallSmartCommand(CKestrionView& view);

// The command itself.
void OnNormalizedSmartCommand(CKestrionView& view);
