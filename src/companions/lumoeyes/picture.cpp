#include "lumoeyes/picture.h"

#include "lumoeyes/resource.h"
#include "code/gdi_objects.h"

#include <algorithm>

namespace {

constexpr int viewSize = 256;
// The views' own background, around a view that does not fill its area.
constexpr COLORREF surroundColour = RGB(164, 176, 194);
constexpr COLORREF textColour = RGB(24, 28, 36);
constexpr int textLinesHeightShare = 6; // one sixth of the area is for the lines
constexpr int fontHeightDivisor = 6;    // the lines' band holds about six lines
constexpr int smallestFont = 10;

constexpr wchar_t whatToSee[] =
    L"Each eye reads only its own letter: L for the left eye, R for the right (shut one eye to "
    L"check).\n"
    L"The disc floats in front of the grid when the eyes are in the right order and sinks behind "
    L"it when they are swapped.\n";

constexpr UINT linesFormat = DT_CENTER | DT_NOPREFIX | DT_WORDBREAK;

HFONT linesFont(int height) {
    return CreateFontW(-height, 0, 0, 0, FW_SEMIBOLD, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       L"Tahoma");
}

// The largest font up to the given height whose wrapped lines fit the band, else the smallest: the
// lines wrap into more of them on a narrow screen, and the last one, which page flip adds, would
// be cut off.
HFONT fittedFont(HDC dc, const std::wstring& text, const RECT& band, int height) {
    for (;; --height) {
        HFONT font = linesFont(height);
        if (height <= smallestFont)
            return font;
        RECT needed = band;
        HGDIOBJ old = SelectObject(dc, font);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                  linesFormat | DT_CALCRECT);
        SelectObject(dc, old);
        if (needed.bottom <= band.bottom)
            return font;
        DeleteObject(font);
    }
}

HBITMAP screenBitmap(HDC dc, SIZE size, const TestViews& views, Eye eye, const RECT& area,
                     const std::wstring& lines) {
    HBITMAP bitmap = CreateCompatibleBitmap(dc, size.cx, size.cy);
    if (!bitmap)
        return nullptr;
    MemoryDc memory(dc);
    memory.select(bitmap);
    views.draw(memory.get(), area, eye, lines);
    return bitmap;
}

} // namespace

TestViews::TestViews(HINSTANCE instance)
    : bitmap_(static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(IDB_TEST_VIEWS),
                                              IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {}

TestViews::~TestViews() {
    if (bitmap_)
        DeleteObject(bitmap_);
}

void TestViews::draw(HDC dc, const RECT& area, Eye eye, const std::wstring& lines) const {
    HBRUSH surround = CreateSolidBrush(surroundColour);
    FillRect(dc, &area, surround);
    DeleteObject(surround);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const int textHeight = height / textLinesHeightShare;
    const int side = std::min(width, height - textHeight);
    const int left = area.left + (width - side) / 2;
    MemoryDc source(dc);
    source.select(bitmap_);
    // Whole pixels of the view's own colours: no blend of the two eyes' inks.
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, left, area.top, side, side, source.get(), eye == Eye::Left ? 0 : viewSize, 0,
               viewSize, viewSize, SRCCOPY);
    RECT text{area.left, area.top + side, area.right, area.bottom};
    const std::wstring all = whatToSee + lines;
    HFONT font = fittedFont(dc, all, text, std::max(smallestFont, textHeight / fontHeightDivisor));
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour);
    DrawTextW(dc, all.c_str(), static_cast<int>(all.size()), &text, linesFormat);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

std::wstring keyLines(StereoMode mode) {
    switch (mode) {
    case ModeInterleaved:
        return L"R: swap the eyes (the controller keeps the new order).   Esc: end the test.";
    case ModePageFlip:
        return L"R: swap the eyes (resync).   Esc: end the test.";
    case ModeOverUnder:
        break;
    }
    return L"Over/Under: the eyes are swapped by the program that makes the picture, not by the "
           L"glasses.   Esc: end the test.";
}

HBITMAP drawTestPicture(HDC dc, const TestViews& views, StereoMode mode, SIZE screen) {
    const std::wstring lines = keyLines(mode);
    HBITMAP picture = CreateCompatibleBitmap(dc, screen.cx, screen.cy);
    if (!picture)
        return nullptr;
    MemoryDc target(dc);
    target.select(picture);
    if (mode == ModeOverUnder) {
        const int half = screen.cy / 2;
        views.draw(target.get(), RECT{0, 0, screen.cx, half}, Eye::Left, lines);
        views.draw(target.get(), RECT{0, half, screen.cx, half * 2}, Eye::Right, lines);
        return picture;
    }
    const RECT whole{0, 0, screen.cx, screen.cy};
    views.draw(target.get(), whole, Eye::Left, lines);
    HBITMAP right = screenBitmap(dc, screen, views, Eye::Right, whole, lines);
    if (!right) {
        DeleteObject(picture);
        return nullptr;
    }
    {
        MemoryDc source(dc);
        source.select(right);
        for (int row = 1; row < screen.cy; row += 2)
            BitBlt(target.get(), 0, row, screen.cx, 1, source.get(), 0, row, SRCCOPY);
    }
    DeleteObject(right);
    return picture;
}
