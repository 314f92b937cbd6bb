#pragma once
// The code window: a borderless popup over the whole primary screen that paints the display code
// of the command it was opened for on its top rows and destroys itself one second after it was
// created (or after the last display mode change while it shows).
// Its window region is the rows of its code, so the rest of the screen stays visible and takes
// the mouse: with desktop composition an unpainted part of a window shows black. It lies above
// always-on-top windows and never takes the activation, so the program in front keeps the keyboard
// (a game in exclusive full screen minimises when another window is activated).

#include <windows.h>

inline constexpr char codeWindowClassName[] = "LUMOCODECLASS";
inline constexpr char codeWindowTitle[] = "Tavik Code Window";
constexpr UINT_PTR codeWindowTimerId = 50001;
constexpr UINT codeWindowLifetimeMs = 1000;
constexpr DWORD codeWindowExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
constexpr int codeWindowShowCommand = SW_SHOWNOACTIVATE;

// To the top of the always-on-top windows, without activating it (BringWindowToTop would).
inline void raiseCodeWindow(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// 1 when the class exists or was registered; 0 with lastError ErrorRegisterCodeWindowClass.
int registerCodeWindowClass();

// 1 when a code window was created and shown; 0 with lastError ErrorRegisterCodeWindowClass or
// ErrorCreateCodeWindow. The handle is not kept.
int openCodeWindow();

LRESULT CALLBACK codeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
