#pragma once

// What the workstation says while a run is being stopped, and when it is
// asked to end during one.
inline constexpr const char* kMsgWaitingForDrive = "Stopping: waiting for the drive's current command to end";
inline constexpr const char* kMsgQuitDuringRun =
    "Drives are still being worked on. Quit anyway?\n\nThe run stops at the drive's next command; Kestrion ends "
    "once it has, with every setting the run changed put back.";
inline constexpr const char* kCaptionQuit = "Kestrion";
