#pragma once

#include <memory>

class CMainFrame;
class DeviceCatalog;

// The main window with every operation's commands installed on its view:
// the one place that knows all the operations the workstation offers.
// simulatedBench only changes the hint shown when no drive is found.
std::unique_ptr<CMainFrame> MakeWorkstation(DeviceCatalog& catalog, bool simulatedBench);
