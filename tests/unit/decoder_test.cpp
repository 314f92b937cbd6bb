// The display-code decoder on pictures made in memory: exact codes, damaged ones and no code.

#include "code/controller_state.h"
#include "decoder/code_decoder.h"
#include "support/code_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t grey = 0x808080;
constexpr uint32_t silver = 0xC0C0C0;
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t black = 0x000000;
constexpr int pictureRows = 16;

// 0x00RRGGBB, as a 32-bit DIB section holds a pixel.
uint32_t pixelOfLetter(char letter) {
    const COLORREF colour = colourOfLetter(letter);
    return GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
}

// Scales each of red, green and blue, as a dimming filter over the screen would.
uint32_t dimmed(uint32_t pixel, int percent) {
    uint32_t result = 0;
    for (int shift : {16, 8, 0})
        result |= (((pixel >> shift) & 0xFF) * percent / 100) << shift;
    return result;
}

class Picture {
  public:
    explicit Picture(int width, uint32_t background = grey)
        : width_(width), pixels_(static_cast<size_t>(width) * pictureRows, background) {}

    int width() const { return width_; }

    void fill(int y, int fromX, int toX, uint32_t colour) {
        std::fill(pixels_.begin() + index(fromX, y), pixels_.begin() + index(toX, y), colour);
    }
    void fillRows(int fromY, int toY, int fromX, int toX, uint32_t colour) {
        for (int y = fromY; y < toY; ++y)
            fill(y, fromX, toX, colour);
    }
    // Paints a code's rows from firstRow down, over pixels fromX to toX - 1.
    void paint(std::string_view rows, int firstRow, int fromX, int toX) {
        for (size_t i = 0; i < rows.size(); ++i)
            fill(firstRow + static_cast<int>(i), fromX, toX, pixelOfLetter(rows[i]));
    }
    void paint(std::string_view rows, int firstRow = 0) { paint(rows, firstRow, 0, width_); }

    template <typename Change> void changeEveryPixel(Change change) {
        for (uint32_t& pixel : pixels_)
            pixel = change(pixel);
    }

    DecodedCode decode() const { return decodeDisplayCode(pixels_, width_); }
    DecodedCode decodeTopRows(int rows) const {
        return decodeDisplayCode(std::span(pixels_).first(static_cast<size_t>(width_) * rows),
                                 width_);
    }

  private:
    size_t index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

    int width_;
    std::vector<uint32_t> pixels_;
};

CodeFamily familyOf(const ExpectedCode& code) {
    return code.rows.size() == tallestCode ? CodeFamily::Lcd : CodeFamily::Stereo;
}

const ExpectedCode& codeFor(int32_t command) {
    return *std::find_if(expectedCodes.begin(), expectedCodes.end(),
                         [&](const ExpectedCode& code) { return code.command == command; });
}

int lastRowOf(const ExpectedCode& code) {
    return static_cast<int>(code.rows.size()) - 1;
}

void expectFlaws(const DecodedCode& decoded, const std::vector<CodeFlaw>& expected) {
    ASSERT_EQ(decoded.flaws.size(), expected.size()) << describeDamage(decoded);
    for (size_t i = 0; i < expected.size(); ++i) {
        const CodeFlaw& seen = decoded.flaws[i];
        EXPECT_EQ(seen.firstRow, expected[i].firstRow) << "flaw " << i;
        EXPECT_EQ(seen.lastRow, expected[i].lastRow) << "flaw " << i;
        EXPECT_EQ(seen.firstX, expected[i].firstX) << "flaw " << i;
        EXPECT_EQ(seen.lastX, expected[i].lastX) << "flaw " << i;
        EXPECT_EQ(seen.seen, expected[i].seen) << "flaw " << i;
    }
    EXPECT_EQ(decoded.unlistedFlaws, 0);
}

void expectDamaged(const DecodedCode& decoded, const ExpectedCode& code, int32_t command) {
    EXPECT_EQ(decoded.reading, CodeReading::Damaged) << "code of " << code.command;
    EXPECT_EQ(decoded.family, familyOf(code)) << "code of " << code.command;
    EXPECT_EQ(decoded.command, command) << "code of " << code.command;
}

class DecoderOnWidth : public testing::TestWithParam<int> {};

TEST_P(DecoderOnWidth, ReadsEveryCodeExactly) {
    for (const ExpectedCode& code : expectedCodes) {
        Picture picture(GetParam());
        picture.paint(code.rows);
        const DecodedCode decoded = picture.decode();
        EXPECT_EQ(decoded.reading, CodeReading::Exact) << "command " << code.command;
        EXPECT_EQ(decoded.family, familyOf(code)) << "command " << code.command;
        EXPECT_EQ(decoded.command, code.command);
        EXPECT_EQ(decoded.shift, 0);
        EXPECT_TRUE(decoded.flaws.empty()) << describeDamage(decoded);
        EXPECT_EQ(describeDamage(decoded), "");
    }
}

TEST_P(DecoderOnWidth, ReadsAGreyScreenAsNoCode) {
    EXPECT_EQ(Picture(GetParam()).decode().reading, CodeReading::None);
}

TEST_P(DecoderOnWidth, ReadsACodeOneRowLowAsDamagedWithItsCommand) {
    for (const ExpectedCode& code : expectedCodes) {
        Picture picture(GetParam());
        picture.paint(code.rows, 1);
        const DecodedCode decoded = picture.decode();
        expectDamaged(decoded, code, code.command);
        EXPECT_EQ(decoded.shift, 1);
        EXPECT_TRUE(decoded.flaws.empty()) << describeDamage(decoded);
        EXPECT_EQ(describeDamage(decoded), "shifted down 1 row");
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, DecoderOnWidth, testing::Values(1, 2, 640, 1024, 1920));

TEST(Decoder, IgnoresTheTopByteOfEachPixel) {
    Picture picture(64);
    picture.paint(codeFor(StereoOn).rows);
    picture.changeEveryPixel([](uint32_t pixel) { return pixel | 0xFF000000u; });
    const DecodedCode decoded = picture.decode();
    EXPECT_EQ(decoded.reading, CodeReading::Exact);
    EXPECT_EQ(decoded.command, StereoOn);
}

TEST(Decoder, ReadsEveryDimmedCodeAsDamagedWithTheColoursSeen) {
    constexpr int width = 640;
    for (const ExpectedCode& code : expectedCodes) {
        Picture picture(width);
        picture.paint(code.rows);
        picture.changeEveryPixel([](uint32_t pixel) { return dimmed(pixel, 85); });
        const DecodedCode decoded = picture.decode();
        expectDamaged(decoded, code, code.command);
        EXPECT_EQ(decoded.shift, 0);
        // Every row but the black ones is off; each run of equal rows is one flaw.
        ASSERT_FALSE(decoded.flaws.empty());
        EXPECT_EQ(decoded.flaws[0].firstRow, 0);
        EXPECT_EQ(decoded.flaws[0].lastRow, familyOf(code) == CodeFamily::Lcd ? 5 : 1);
        EXPECT_EQ(decoded.flaws[0].firstX, 0);
        EXPECT_EQ(decoded.flaws[0].lastX, width - 1);
        EXPECT_EQ(decoded.flaws[0].seen, 0xD80000u); // 85 % of 255 is 216
    }
}

TEST(Decoder, NamesTheOneWrongLeadingRow) {
    constexpr int width = 1024;
    Picture picture(width);
    picture.paint(codeFor(StereoOnResync).rows);
    picture.fill(5, 0, width, grey);
    const DecodedCode decoded = picture.decode();
    expectDamaged(decoded, codeFor(StereoOnResync), StereoOnResync);
    expectFlaws(decoded, {{5, 5, 0, width - 1, grey}});
    EXPECT_EQ(describeDamage(decoded), "row 5 x 0-1023 #808080");
}

TEST(Decoder, GuessesTheCommandFromOneRightCommandRowWhenOnlyOneCommandFits) {
    constexpr int width = 1024;
    const ExpectedCode& lcdOff = codeFor(LcdModeOff);
    Picture picture(width);
    picture.paint(lcdOff.rows);
    picture.fill(13, 0, width, black);
    const DecodedCode decoded = picture.decode();
    expectDamaged(decoded, lcdOff, LcdModeOff);
    expectFlaws(decoded, {{13, 13, 0, width - 1, black}});
    EXPECT_EQ(describeDamage(decoded), "row 13 x 0-1023 black");
}

TEST(Decoder, LeavesTheCommandUnknownWhenTheRightRowFitsTwoCommands) {
    // Row 8 black belongs to both StereoReverse and StereoOff; row 9 tells them apart.
    constexpr int width = 1024;
    Picture picture(width);
    picture.paint(codeFor(StereoReverse).rows);
    picture.fill(9, 0, width, grey);
    const DecodedCode decoded = picture.decode();
    expectDamaged(decoded, codeFor(StereoReverse), unknownCommand);
    expectFlaws(decoded, {{8, 8, 0, width - 1, black}, {9, 9, 0, width - 1, grey}});
}

TEST(Decoder, ReadsACodeOverPartOfTheWidthWithTheUncoveredRange) {
    constexpr int width = 1024;
    for (const ExpectedCode& code : expectedCodes) {
        Picture picture(width);
        picture.paint(code.rows, 0, 0, width / 2);
        const DecodedCode decoded = picture.decode();
        expectDamaged(decoded, code, code.command);
        expectFlaws(decoded, {{0, lastRowOf(code), width / 2, width - 1, grey}});
    }
    Picture picture(width);
    picture.paint(codeFor(StereoOff).rows, 0, 0, width / 2);
    EXPECT_EQ(describeDamage(picture.decode()), "rows 0-9 x 512-1023 #808080");
}

TEST(Decoder, ReadsACodeUnderAnOverlayWithTheCoveredColumns) {
    constexpr int width = 1920;
    const ExpectedCode& lcd1 = codeFor(LcdMode1);
    Picture picture(width);
    picture.paint(lcd1.rows);
    picture.fillRows(0, pictureRows, 300, 500, silver);
    const DecodedCode decoded = picture.decode();
    expectDamaged(decoded, lcd1, LcdMode1);
    expectFlaws(decoded, {{0, 13, 300, 499, silver}});
}

TEST(Decoder, NeedsAQuarterOfTheWidthOfEachLeadingRow) {
    constexpr int width = 1024;
    const ExpectedCode& lcd2 = codeFor(LcdMode2);
    Picture quarter(width);
    quarter.paint(lcd2.rows, 0, 0, width / 4);
    expectDamaged(quarter.decode(), lcd2, LcdMode2);

    Picture less(width);
    less.paint(lcd2.rows, 0, 0, width / 4 - 1);
    EXPECT_EQ(less.decode().reading, CodeReading::None);
}

TEST(Decoder, ReadsLcdLeadingRowsWithUnknownCommandRows) {
    constexpr int width = 1024;
    const ExpectedCode& lcd1 = codeFor(LcdMode1);
    Picture picture(width);
    picture.paint(lcd1.rows.substr(0, 12));
    picture.fill(12, 0, width, white);
    const DecodedCode decoded = picture.decode();
    expectDamaged(decoded, lcd1, unknownCommand);
    expectFlaws(decoded, {{12, 12, 0, width - 1, white}, {13, 13, 0, width - 1, grey}});
    EXPECT_EQ(describeDamage(decoded),
              "command rows match no command; row 12 x 0-1023 #FFFFFF; row 13 x 0-1023 #808080");
}

TEST(Decoder, ListsSixteenFlawsAndCountsTheRest) {
    // A white dot every 16 pixels down the whole code: 64 columns of flaws.
    constexpr int width = 1024;
    constexpr int spacing = 16;
    Picture picture(width);
    picture.paint(codeFor(StereoNormal).rows);
    for (int x = 0; x < width; x += spacing)
        picture.fillRows(0, pictureRows, x, x + 1, white);
    const DecodedCode decoded = picture.decode();
    expectDamaged(decoded, codeFor(StereoNormal), StereoNormal);
    ASSERT_EQ(decoded.flaws.size(), 16u);
    EXPECT_EQ(decoded.flaws[15].firstX, 15 * spacing);
    EXPECT_EQ(decoded.flaws[15].lastRow, 9);
    EXPECT_EQ(decoded.unlistedFlaws, width / spacing - 16);
    EXPECT_TRUE(describeDamage(decoded).ends_with("; and 48 more")) << describeDamage(decoded);
}

TEST(Decoder, ReadsPicturesThatOnlyLookSlightlyLikeACodeAsNoCode) {
    constexpr int width = 640;
    Picture oneRedRow(width);
    oneRedRow.fill(0, 0, width, pixelOfLetter('R'));
    EXPECT_EQ(oneRedRow.decode().reading, CodeReading::None);

    Picture allRed(width, pixelOfLetter('R'));
    EXPECT_EQ(allRed.decode().reading, CodeReading::None);

    Picture allYellow(width, pixelOfLetter('Y'));
    EXPECT_EQ(allYellow.decode().reading, CodeReading::None);

    Picture twoLeadingRowsWrong(width);
    twoLeadingRowsWrong.paint(codeFor(StereoOn).rows);
    twoLeadingRowsWrong.fillRows(2, 4, 0, width, grey);
    EXPECT_EQ(twoLeadingRowsWrong.decode().reading, CodeReading::None);

    // The stereo code's colours, but each row only two pixels deep into a grey screen.
    Picture stripes(width);
    stripes.paint(codeFor(StereoOn).rows, 0, 0, 2);
    EXPECT_EQ(stripes.decode().reading, CodeReading::None);
}

TEST(Decoder, ReadsWhatASmallScreenShows) {
    Picture picture(32);
    picture.paint(codeFor(StereoOff).rows);
    EXPECT_EQ(picture.decodeTopRows(10).reading, CodeReading::Exact);
    const DecodedCode partial = picture.decodeTopRows(8);
    EXPECT_EQ(partial.reading, CodeReading::Damaged);
    EXPECT_EQ(partial.command, unknownCommand);
    EXPECT_EQ(picture.decodeTopRows(3).reading, CodeReading::None);
    EXPECT_EQ(decodeDisplayCode({}, 32).reading, CodeReading::None);
    EXPECT_EQ(decodeDisplayCode({}, 0).reading, CodeReading::None);
}

} // namespace
