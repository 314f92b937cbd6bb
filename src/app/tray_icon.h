#pragma once
// The controller's icon in the taskbar notification area.

#include <windows.h>

constexpr UINT trayIconId = 6666;
constexpr UINT trayCallbackMessage = 666;

// Whether the message is the one the shell broadcasts when it starts again (after a crash, say)
// with an empty notification area: every program adds its icon anew.
bool isTaskbarCreatedMessage(UINT message);

// Adds the icon with its tip; the result is not checked: without it the controller still runs.
void addTrayIcon(HWND mainWindow);
void removeTrayIcon(HWND mainWindow);
