#pragma once
// The About box with the running version.

#include <windows.h>

// Runs the box modally, owned by the given window. False when it cannot be created.
bool showAboutDialog(HWND owner);

// The box's procedure, for running its template IDD_ABOUT with the dialog functions directly.
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
