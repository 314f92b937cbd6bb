#pragma once
// lumoauto's window: the list of rules with Add, Edit, Remove and Exit, and a status line of what
// it last saw and sent. It lives as long as lumoauto watches, hidden unless asked for; closing it
// hides it.

#include "common/names.h"

#include <windows.h>

// Posted by a second start without arguments: show the window and bring it to the front.
inline constexpr UINT showWindowMessage = WM_APP + 4;

// Makes the window, shown or not, watches until Exit; the exit code.
int runProgramsWindow(HINSTANCE instance, bool show);
