#pragma once
// The Properties dialog: hardware, stereo mode, LCD mode and the three hot-keys.

#include <windows.h>

// Besides its controls the dialog answers this command by asking whether the test picture looked
// right; nothing in the program sends it.
constexpr WORD confirmTestCommandId = 40010;

// Runs the dialog modally, owned by the given window. False when it cannot be created.
bool showPropertiesDialog(HWND owner);

// The dialog's procedure, for running its template IDD_PROPERTIES with the dialog functions
// directly; the hot-key control class must be registered first (showPropertiesDialog does that).
INT_PTR CALLBACK propertiesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
