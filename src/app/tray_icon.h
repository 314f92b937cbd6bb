#pragma once
// The controller's icon in the taskbar notification area.

#include <windows.h>

constexpr UINT trayIconId = 6666;
constexpr UINT trayCallbackMessage = 666;
// Tries again to add an icon that the shell did not take.
constexpr UINT_PTR trayIconRetryTimerId = 50004;

// Whether the message is the one the shell broadcasts when it starts again (after a crash, say)
// with an empty notification area: every program adds its icon anew.
bool isTaskbarCreatedMessage(UINT message);

// Lets the shell's "TaskbarCreated" reach the window when the controller runs with higher rights
// than the shell, which would otherwise filter it out.
void allowTaskbarCreatedMessage(HWND mainWindow);

// Adds the icon with its tip. When the shell does not take it (at log-on it may still be
// starting, and it announces no restart when its taskbar already exists), the main window's retry
// timer tries again for a bounded time; without the icon the controller still runs.
void showTrayIcon(HWND mainWindow);

// The retry timer's tick: tries again, and stops once the icon is there or the time is up.
void retryTrayIcon(HWND mainWindow);

void removeTrayIcon(HWND mainWindow);
