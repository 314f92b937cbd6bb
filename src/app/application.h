#pragma once
// Start-up, the message loop and shutdown of the controller.

#include <windows.h>

// Runs the controller (or the registration switch on its command line); the process exit code.
int runApplication(HINSTANCE instance);
