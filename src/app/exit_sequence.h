#pragma once
// How the controller ends when the user chooses Exit.

#include <windows.h>

// Starts the exit timer, switches stereo off, stores the settings and removes the tray icon; the
// timer ends the message loop 1.5 s later, while the stereo-off code is still on the screen.
void runExitSequence(HWND mainWindow);
