#pragma once
// The code window: a borderless popup over the whole primary screen that paints the display code
// of the current command on its top rows and destroys itself one second after it was created.

#include <windows.h>

inline constexpr char codeWindowClassName[] = "LUMOCODECLASS";
inline constexpr char codeWindowTitle[] = "Tavik Code Window";
constexpr UINT_PTR codeWindowTimerId = 50001;
constexpr UINT codeWindowLifetimeMs = 1000;

// 1 when the class exists or was registered; 0 with lastError 25.
int registerCodeWindowClass();

// 1 when a code window was created and shown; 0 with lastError 25 or 26. The handle is not kept.
int openCodeWindow();

LRESULT CALLBACK codeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
