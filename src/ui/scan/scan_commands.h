#pragma once

class CKestrionView;

// Installs "Surface Scan" (command 32795) on the view: the scan window on
// the selected drives.
void InstallSurfaceScanCommand(CKestrionView& view);
