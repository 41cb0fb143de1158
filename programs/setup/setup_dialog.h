// setup_dialog.h - the setup program's window, shown when it is started
// without arguments.
#pragma once

#include <windows.h>

// Makes the dialog's window, not yet shown; null where no window can be
// made (no display).
HWND OpenSetupDialog(HINSTANCE instance);
// Shows the dialog and runs it until it is closed; returns the program's
// exit status.
int RunSetupDialog(HWND dialog);
