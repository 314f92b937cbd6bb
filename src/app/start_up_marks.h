#pragma once
// Marks of the start-up's phases for a debugger that listens: `make bench` starts the controller
// under its own debug loop and times the marks as they come. Without a debugger nothing is
// written, and asking costs one read of the process's own environment block.

#include <windows.h>

// The texts the bench looks for, in the order start-up passes them.
constexpr char startUpMarkEntry[] = "start-up: entry";
constexpr char startUpMarkApartment[] = "start-up: apartment";
constexpr char startUpMarkClassObject[] = "start-up: class object";
constexpr char startUpMarkWindowClass[] = "start-up: window class";
constexpr char startUpMarkTrayIcon[] = "start-up: tray icon";
constexpr char startUpMarkMainWindow[] = "start-up: main window";

inline void markStartUp(const char* phase) {
    if (IsDebuggerPresent())
        OutputDebugStringA(phase);
}
