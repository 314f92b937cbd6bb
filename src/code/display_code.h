#pragma once
// The display code: full-width coloured lines on the top rows of the screen that the glasses'
// control box reads from the video signal.

#include "code/command_table.h"

#include <windows.h>

#include <cstdint>
#include <span>

constexpr COLORREF colourRef(CodeColour colour) {
    const uint32_t rgb = codeColourRgb(colour);
    return RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
}

// The colours of rows 0, 1, ... of the code for a command, top to bottom.
std::span<const CodeColour> displayCodeRows(int32_t command);

// Draws the code of a command on rows 0.. of a device context, each row from x = 0 to width - 1,
// and leaves the context with the pen and current position it had.
void paintDisplayCodeRows(HDC dc, int32_t command, int width);

// As above, across the whole width of the primary screen.
void paintDisplayCode(HDC dc, int32_t command);

// Gives a window the region of the rows that the code of a command paints, width pixels wide, so
// that the rest of the window neither shows nor takes the mouse. Where no region can be made or
// set, the window keeps the whole of its area.
void limitWindowToCodeRows(HWND window, int32_t command, int width);
