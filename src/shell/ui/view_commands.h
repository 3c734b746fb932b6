#pragma once

#include <span>

// Where the workstation offers a view command.
enum class CommandPlace {
    DeviceMenu,     // the device button's menu: acts on the view's current device
    TestMenu,       // the main menu's "&Test": acts on the selected drives
    UtilitiesMenu,  // the main menu's "&Utilities"
};

// One command of the view: its id (kept from the original resources, and the
// action's objectName in decimal), its menu text and its status-bar text.
struct ViewCommand {
    int id;
    const char* menuText;
    const char* statusText;
    CommandPlace place;
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

// Every command the view offers, in menu order within each place. A command
// is enabled once the view has a handler for it.
std::span<const ViewCommand> ViewCommands();

// The entry for an id, or null.
const ViewCommand* FindViewCommand(int id);
