#pragma once
// How the controller ends when the user chooses Exit.

#include <windows.h>

// Starts the exit timer, switches stereo off, stores the settings and removes the tray icon; the
// timer ends the message loop 1.5 s later, while the stereo-off code is still on the screen.
// A second request while the sequence runs (a close after Exit, say) does nothing.
void runExitSequence(HWND mainWindow);

// True once the exit sequence has started on the window.
bool exitSequenceStarted(HWND mainWindow);

// Log-off: the process ends when this returns, before any timer could fire. Stores the settings
// and removes the icon; nothing is shown, since no one is left to answer a box.
void endWithSession(HWND mainWindow);
