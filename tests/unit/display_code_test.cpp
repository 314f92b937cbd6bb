// The display code drawn on memory bitmaps of several widths.

#include "code/controller_state.h"
#include "code/display_code.h"
#include "support/code_table.h"
#include "support/screen.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF background = RGB(18, 52, 86);
constexpr int canvasHeight = 24;

void expectCodeOn(const Capture& capture, const ExpectedCode& code) {
    const int painted = static_cast<int>(code.rows.size());
    for (int y = 0; y < capture.height(); ++y) {
        const COLORREF expected = y < painted ? colourOfLetter(code.rows[y]) : background;
        EXPECT_EQ(capture.firstMismatch(y, expected), -1)
            << "command " << code.command << ", row " << y;
    }
}

class DisplayCodeOnBitmap : public testing::TestWithParam<int> {};

TEST_P(DisplayCodeOnBitmap, EveryCommandPaintsItsRowsAcrossTheWholeWidthAndNothingElse) {
    const int width = GetParam();
    for (const ExpectedCode& code : expectedCodes) {
        MemoryCanvas canvas(width, canvasHeight, background);
        paintDisplayCodeRows(canvas.dc(), code.command, width);
        expectCodeOn(canvas.read(), code);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, DisplayCodeOnBitmap, testing::Values(1, 2, 7, 640, 1024, 1920));

TEST(DisplayCode, ValuesWithoutAMeaningDrawTheStereoFamily) {
    for (int32_t command : {0, 8, 999, -1, 32767}) {
        MemoryCanvas canvas(16, canvasHeight, background);
        paintDisplayCodeRows(canvas.dc(), command, 16);
        expectCodeOn(canvas.read(), ExpectedCode{command, "RRGGYYYYRR"});
    }
}

TEST(DisplayCode, LeavesThePenAndCurrentPositionOfTheContextAsTheyWere) {
    MemoryCanvas canvas(32, canvasHeight, background);
    HPEN own = CreatePen(PS_SOLID, 0, RGB(1, 2, 3));
    HGDIOBJ original = SelectObject(canvas.dc(), own);
    MoveToEx(canvas.dc(), 17, 21, nullptr);

    paintDisplayCodeRows(canvas.dc(), StereoReverse, 32);

    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), own);
    POINT position{};
    GetCurrentPositionEx(canvas.dc(), &position);
    EXPECT_EQ(position.x, 17);
    EXPECT_EQ(position.y, 21);
    SelectObject(canvas.dc(), original);
    DeleteObject(own);
}

} // namespace
