// setup_dialog.h - the setup program's window, shown when it is started
// without arguments.
#pragma once

#include <windows.h>

// Runs the dialog until it is closed; returns the program's exit status.
int RunSetupDialog(HINSTANCE instance);
