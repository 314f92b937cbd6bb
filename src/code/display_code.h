#pragma once
// The display code: full-width coloured lines on the top rows of the screen that the glasses'
// control box reads from the video signal.

#include <windows.h>

#include <cstdint>
#include <span>

enum class CodeColour : uint8_t { Red, Green, Yellow, Black };

constexpr COLORREF colourRef(CodeColour colour) {
    switch (colour) {
    case CodeColour::Red:
        return RGB(255, 0, 0);
    case CodeColour::Green:
        return RGB(0, 255, 0);
    case CodeColour::Yellow:
        return RGB(255, 255, 0);
    case CodeColour::Black:
        break;
    }
    return RGB(0, 0, 0);
}

constexpr int stereoCodeRows = 10;
constexpr int lcdCodeRows = 14;

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
