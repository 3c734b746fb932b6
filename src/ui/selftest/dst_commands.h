#pragma once

class CKestrionView;
class DeviceCatalog;

// Gives the view its self-test commands: 32774 and 32792 (the selected
// drives), 32793 (every drive) and 32794 (the DST log file).
void InstallSelfTestCommands(CKestrionView& view, DeviceCatalog& catalog);
