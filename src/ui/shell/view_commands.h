#pragma once

#include <span>

// Where the workstation offers a view command.
enum class CommandPlace {
    DeviceMenu,     // the device button's menu: acts on the view's current device
    TestMenu,       // the main menu's "&Test": acts on the selected drives
    UtilitiesMenu,  // the main menu's "&Utilities"
};

// One command of the view: its id (fixed, and the action's objectName in
// decimal, so tests and users' scripts find it), its menu text and its
// status-bar text.
struct ViewCommand {
    int id;
    const char* menuText;
    const char* statusText;
    CommandPlace place;
    // A one-drive command of the device menu that the main menu's
    // "&Utilities" offers too, for the one selected drive.
    bool onSelectedDrive = false;
};

inline constexpr int kCmdQuickTest = 101;
inline constexpr int kCmdLongTest = 102;
inline constexpr int kCmdSelfTest = 32774;
inline constexpr int kCmdSelectSubtests = 32778;
inline constexpr int kCmdInquiry = 32784;
inline constexpr int kCmdSmartData = 32785;
inline constexpr int kCmdDownloadFile = 32789;
inline constexpr int kCmdModePages = 32791;
inline constexpr int kCmdSelfTestSelected = 32792;
inline constexpr int kCmdSelfTestAll = 32793;
inline constexpr int kCmdSelfTestLogFile = 32794;
inline constexpr int kCmdSurfaceScan = 32795;

// Commands of the frame itself.
inline constexpr int kCmdAppAbout = 57664;
inline constexpr int kCmdAppExit = 57665;
inline constexpr int kCmdViewStatusBar = 59393;

// Status texts of the selection toggle, shown while the pointer is on a
// drive button (the toggle is a click, not a command).
inline constexpr const char* kStatusSelectDrive =
    "Select the drive for \"all selected drive\" utilities and test";
inline constexpr const char* kStatusUnselectDrive =
    "Unselect the drive for \"all selected drive\" utilities and test";
// ...and while a run holds the drive, when a click changes nothing.
inline constexpr const char* kStatusDriveHeld =
    "The drive is under test: its selection cannot change until the test is done with it";

// When a one-drive command comes from the main menu and not exactly one
// drive is selected (%s: the command's name, %d: how many are).
inline constexpr const char* kMsgNoDriveSelectedFor =
    "No drive is selected. %s works on one drive: select it by clicking its button, or use the menu of the drive's "
    "own button (its arrow).";
inline constexpr const char* kMsgSeveralDrivesSelectedFor =
    "%d drives are selected. %s works on one drive: leave only that one selected, or use the menu of the drive's "
    "own button (its arrow).";

// Every command the view offers, in menu order within each place. A command
// is enabled once the view has a handler for it.
std::span<const ViewCommand> ViewCommands();

// The entry for an id, or null.
const ViewCommand* FindViewCommand(int id);
