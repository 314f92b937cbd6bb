#pragma once
// The About box with the running version.

#include <windows.h>

// Runs the box modally, owned by the given window. False when it cannot be created.
bool showAboutDialog(HWND owner);
