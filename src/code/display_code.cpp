#include "code/display_code.h"

#include "code/gdi_objects.h"

#include <array>

namespace {

using C = CodeColour;

// Every command's code row by row, from the command table, made once at compile time.
struct CodeRows {
    std::array<CodeColour, lcdCodeRows> colours;
    size_t count;
};

constexpr auto allCodeRows = [] {
    std::array<CodeRows, commandTable().size()> codes{};
    for (size_t i = 0; i < codes.size(); ++i) {
        const NamedCommand& command = commandTable()[i];
        codes[i].count = static_cast<size_t>(codeRowCount(command.family));
        for (size_t row = 0; row < codes[i].count; ++row)
            codes[i].colours[row] = codeRowColour(command, static_cast<int>(row));
    }
    return codes;
}();

} // namespace

std::span<const CodeColour> displayCodeRows(int32_t command) {
    // Every other value draws the stereo family with the command rows of StereoNormal.
    const NamedCommand* named = findCommand(command);
    if (!named)
        named = findCommand(StereoNormal);
    const CodeRows& code = allCodeRows[static_cast<size_t>(named - commandTable().data())];
    return {code.colours.data(), code.count};
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
