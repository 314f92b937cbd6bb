#pragma once
// The baselines that lumobench brings itself: an out-of-process COM class whose IDispatch does
// nothing (a mode of lumobench), and a program that only registers a window class and creates one
// hidden window (lumotrivial.exe, beside lumobench), which on request shows the design's floor of a
// code window: a full-screen popup of the same class style, extended styles, region of the code's
// rows and show command that paints the code's rows.

#include <windows.h>

// {6B1F3C2A-9D4E-4F7A-8C11-2E5B7A9D0C43}
inline constexpr CLSID emptyServerClassId = {
    0x6b1f3c2a, 0x9d4e, 0x4f7a, {0x8c, 0x11, 0x2e, 0x5b, 0x7a, 0x9d, 0x0c, 0x43}};
inline constexpr char emptyServerSwitch[] = "--empty-server";
inline constexpr char trivialWindowProgram[] = "lumotrivial.exe";
inline constexpr char trivialWindowClass[] = "LumoBenchTrivialWindow";
inline constexpr char floorWindowClass[] = "LumoBenchFloorWindow";
// Posted to the hidden window: show a popup that paints the display code in wParam; lParam holds
// floorPaint flags.
constexpr UINT showFloorCodeMessage = WM_APP + 1;
// The popup's paint also does what the code window's does beyond painting: to the top.
constexpr DWORD floorPaintRaise = 1;

// The empty server's main routine; the exit code.
int runEmptyServer();
