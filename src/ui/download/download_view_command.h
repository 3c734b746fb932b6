#pragma once

class ActiveRuns;
class CKestrionView;
class QWidget;
class UserPrompts;

// Gives the view command 32789 ("&Download File"), which enables it.
void InstallDownloadCommand(CKestrionView& view);

// The command: with no drive selected says so and shows nothing; otherwise
// runs the Download File dialog over `parent`. Message boxes go to
// `prompts` when given (tests), else to the screen. While a download is
// under way it counts among `runs`, so the program does not end under it.
void OnDownloadMicrocode(QWidget* parent, UserPrompts* prompts = nullptr, ActiveRuns* runs = nullptr);
