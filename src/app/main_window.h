#pragma once
// The hidden main window: owner of the tray icon, the hot-keys and the pop-up menus.

#include "common/names.h"

#include <windows.h>

inline constexpr char mainWindowTitle[] = "Lumo Control Main Window";
constexpr UINT_PTR exitTimerId = 50002;
constexpr UINT exitDelayMs = 1500;

// 1 when the class was registered, 0 otherwise (the caller reports it).
int registerMainWindowClass();

// Creates the hidden main window; its creation adds the tray icon, loads or resets the settings
// and registers the hot-keys. Null when it cannot be created.
HWND createMainWindow();

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
