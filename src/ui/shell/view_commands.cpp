#include "ui/shell/view_commands.h"

#include <array>

namespace {

// Status texts are the program's own and stay word for word, trailing blank
// included.
constexpr std::array kCommands{
    ViewCommand{kCmdInquiry, "&Inquiry", "Display basic inquiry information", CommandPlace::DeviceMenu},
    ViewCommand{kCmdSmartData, "&SMART Data...", "Display the Normalized SMART data", CommandPlace::DeviceMenu,
                true},
    ViewCommand{kCmdModePages, "&Mode Pages...", "Begin reading mode sense data", CommandPlace::DeviceMenu, true},
    ViewCommand{kCmdQuickTest, "&Quick Test", "perform quick test on the selected drives", CommandPlace::TestMenu},
    ViewCommand{kCmdLongTest, "&Long Test", "perform longer more complete test on selected drives",
                CommandPlace::TestMenu},
    ViewCommand{kCmdSelectSubtests, "Select S&ubtests...", "Select subtests and run them on the selected drives",
                CommandPlace::TestMenu},
    ViewCommand{kCmdSurfaceScan, "Surface S&can", "Read or verify every block of the selected drives, all at once",
                CommandPlace::TestMenu},
    ViewCommand{kCmdSelfTest, "Drive &Self Test...", "Drive Self Test", CommandPlace::TestMenu},
    ViewCommand{kCmdSelfTestSelected, "Self Test of S&elected Drives", "perform DST only on selected drives",
                CommandPlace::TestMenu},
    ViewCommand{kCmdSelfTestAll, "Self Test of &All Drives", "perform DST on all drives ", CommandPlace::TestMenu},
    ViewCommand{kCmdSelfTestLogFile, "Self Test Lo&g File...", "Select a file for DST logging",
                CommandPlace::TestMenu},
    ViewCommand{kCmdDownloadFile, "&Download File", "Download Microcode file", CommandPlace::UtilitiesMenu},
};

}  // namespace

std::span<const ViewCommand> ViewCommands() { return kCommands; }

const ViewCommand* FindViewCommand(int id)
{
    for (const ViewCommand& command : kCommands) {
        if (command.id == id) return &command;
    }
    return nullptr;
}
