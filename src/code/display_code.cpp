#include "code/display_code.h"

#include "code/controller_state.h"
#include "code/gdi_objects.h"

#include <array>

namespace {

using C = CodeColour;

constexpr int commandRowCount = 2;

template <size_t Leading>
constexpr std::array<C, Leading + commandRowCount>
withCommandRows(const std::array<C, Leading>& lead, C first, C second) {
    std::array<C, Leading + commandRowCount> rows{};
    for (size_t i = 0; i < Leading; ++i)
        rows[i] = lead[i];
    rows[Leading] = first;
    rows[Leading + 1] = second;
    return rows;
}

constexpr std::array<C, 8> stereoLead{C::Red,    C::Red,    C::Green,  C::Green,
                                      C::Yellow, C::Yellow, C::Yellow, C::Yellow};
constexpr std::array<C, 12> lcdLead{C::Red,   C::Red,   C::Red,    C::Red,    C::Red,    C::Red,
                                    C::Green, C::Green, C::Yellow, C::Yellow, C::Yellow, C::Yellow};

constexpr auto stereoNormalRows = withCommandRows(stereoLead, C::Red, C::Red);
constexpr auto stereoReverseRows = withCommandRows(stereoLead, C::Black, C::Red);
constexpr auto stereoResyncRows = withCommandRows(stereoLead, C::Green, C::Green);
constexpr auto stereoOnRows = withCommandRows(stereoLead, C::Yellow, C::Yellow);
constexpr auto stereoOffRows = withCommandRows(stereoLead, C::Black, C::Black);
constexpr auto lcdMode1Rows = withCommandRows(lcdLead, C::Green, C::Red);
constexpr auto lcdMode2Rows = withCommandRows(lcdLead, C::Red, C::Green);
constexpr auto lcdModeOffRows = withCommandRows(lcdLead, C::Black, C::Green);

static_assert(stereoNormalRows.size() == stereoCodeRows && lcdMode1Rows.size() == lcdCodeRows);

} // namespace

std::span<const CodeColour> displayCodeRows(int32_t command) {
    switch (command) {
    case StereoReverse:
        return stereoReverseRows;
    case StereoOnResync:
        return stereoResyncRows;
    case StereoOn:
        return stereoOnRows;
    case StereoOff:
        return stereoOffRows;
    case LcdMode1:
        return lcdMode1Rows;
    case LcdMode2:
        return lcdMode2Rows;
    case LcdModeOff:
        return lcdModeOffRows;
    default:
        // Every other value draws the stereo family with the command rows of command 1.
        return stereoNormalRows;
    }
}

void paintDisplayCodeRows(HDC dc, int32_t command, int width) {
    // Pens are made for each paint and never cached: a code is painted a handful of times a second.
    // Width 0 draws one pixel whatever the mapping mode. Indexed by CodeColour.
    Pen red(PS_SOLID, 0, colourRef(C::Red));
    Pen green(PS_SOLID, 0, colourRef(C::Green));
    Pen yellow(PS_SOLID, 0, colourRef(C::Yellow));
    Pen black(PS_SOLID, 0, colourRef(C::Black));
    const std::array<HPEN, 4> pens{red.get(), green.get(), yellow.get(), black.get()};

    POINT previousPosition{};
    {
        SelectionGuard selection(dc);
        std::span<const CodeColour> rows = displayCodeRows(command);
        for (size_t y = 0; y < rows.size(); ++y) {
            if (y == 0 || rows[y] != rows[y - 1])
                selection.select(pens[static_cast<size_t>(rows[y])]);
            const int row = static_cast<int>(y);
            MoveToEx(dc, 0, row, y == 0 ? &previousPosition : nullptr);
            LineTo(dc, width, row);
        }
    }
    MoveToEx(dc, previousPosition.x, previousPosition.y, nullptr);
}

void paintDisplayCode(HDC dc, int32_t command) {
    paintDisplayCodeRows(dc, command, GetSystemMetrics(SM_CXSCREEN));
}

void limitWindowToCodeRows(HWND window, int32_t command, int width) {
    const int rows = static_cast<int>(displayCodeRows(command).size());
    HRGN region = CreateRectRgn(0, 0, width, rows);
    // Set before the window is shown: no redraw asked. Once set, the system owns the region.
    if (region && !SetWindowRgn(window, region, FALSE))
        DeleteObject(region);
}
