#pragma once
// The Properties dialog: hardware, stereo mode, LCD mode and the three hot-keys.

#include <windows.h>

// Runs the dialog modally, owned by the given window. False when it cannot be created.
bool showPropertiesDialog(HWND owner);
