// The controller's icon, tray tip and interleave test pictures, loaded from the resources that
// the program links, as the shell, the tray and the dialogs load them.

#include "resource.h"
#include "support/bitmap_resource.h"
#include "support/screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

HMODULE module() {
    return GetModuleHandleA(nullptr);
}

int luminance(int red, int green, int blue) {
    return (299 * red + 587 * green + 114 * blue) / 1000;
}
int luminance(COLORREF c) {
    return luminance(GetRValue(c), GetGValue(c), GetBValue(c));
}

// ---------------------------------------------------------------------------------------------
// The icon and the tray tip

// The image that the icon group offers for one size, as LoadImage would pick it.
const BITMAPINFOHEADER* iconImageFor(int size, DWORD* bytes) {
    HRSRC group = FindResourceA(module(), MAKEINTRESOURCEA(IDI_CONTROLLER), RT_GROUP_ICON);
    if (!group)
        return nullptr;
    auto* directory = static_cast<PBYTE>(LockResource(LoadResource(module(), group)));
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC image = FindResourceA(module(), MAKEINTRESOURCEA(id), RT_ICON);
    if (!image)
        return nullptr;
    *bytes = SizeofResource(module(), image);
    return static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module(), image)));
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof(info), &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

class ControllerIcon : public testing::TestWithParam<int> {};

TEST_P(ControllerIcon, HasItsOwn32BitImageWithAlphaAndAMaskAtThisSize) {
    const int size = GetParam();
    DWORD bytes = 0;
    const BITMAPINFOHEADER* image = iconImageFor(size, &bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->biWidth, size);
    EXPECT_EQ(image->biHeight, 2 * size) << "colour and mask stacked";
    EXPECT_EQ(image->biBitCount, 32);
    const DWORD maskBytes = size * ((size + 31) / 32 * 4);
    EXPECT_EQ(bytes, sizeof(BITMAPINFOHEADER) + size * size * 4 + maskBytes);

    HICON icon = static_cast<HICON>(
        LoadImageA(module(), MAKEINTRESOURCEA(IDI_CONTROLLER), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    const SIZE colour = bitmapSize(info.hbmColor);
    const SIZE mask = bitmapSize(info.hbmMask);
    EXPECT_EQ(colour.cx, size);
    EXPECT_EQ(colour.cy, size);
    EXPECT_EQ(mask.cx, size);
    EXPECT_EQ(mask.cy, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

// The glasses sit across the middle: a dark shut lens on the left, a clear open lens on the
// right, and nothing in the corners, over any background.
TEST_P(ControllerIcon, ShowsTheGlassesOnATransparentBackground) {
    const int size = GetParam();
    HICON icon = static_cast<HICON>(
        LoadImageA(module(), MAKEINTRESOURCEA(IDI_CONTROLLER), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr);
    const int middle = size / 2;
    const int leftLens = size / 4;
    const int rightLens = size * 3 / 4;
    for (COLORREF background : {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 128, 128)}) {
        MemoryCanvas canvas(size, size, background);
        ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
        const Capture drawn = canvas.read();
        for (int corner : {0, size - 1}) {
            EXPECT_EQ(drawn.pixel(0, corner), background) << "size " << size;
            EXPECT_EQ(drawn.pixel(size - 1, corner), background) << "size " << size;
        }
        EXPECT_LT(luminance(drawn.pixel(leftLens, middle)), 60) << "size " << size;
        EXPECT_GT(luminance(drawn.pixel(rightLens, middle)), 160) << "size " << size;
    }

    // Systems without alpha draw through the mask: clear in the corners, set over the glasses.
    MemoryCanvas mask(size, size, RGB(255, 255, 255));
    ASSERT_TRUE(DrawIconEx(mask.dc(), 0, 0, icon, size, size, 0, nullptr, DI_MASK));
    const Capture masked = mask.read();
    EXPECT_EQ(masked.pixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(masked.pixel(size - 1, size - 1), RGB(255, 255, 255));
    EXPECT_EQ(masked.pixel(leftLens, middle), RGB(0, 0, 0));
    EXPECT_EQ(masked.pixel(rightLens, middle), RGB(0, 0, 0));
    DestroyIcon(icon);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ControllerIcon, testing::Values(16, 20, 24, 32, 40, 48));

TEST(TrayTip, LoadsAsTheProductName) {
    char text[50] = {};
    EXPECT_EQ(LoadStringA(module(), IDS_TRAY_TIP, text, sizeof(text)), 15);
    EXPECT_EQ(std::string(text), "Vorn Controller");
}

// ---------------------------------------------------------------------------------------------
// The interleave test pictures

// Dark enough to be the letters' ink, which the calm background never is.
constexpr int inkLuminance = 110;
constexpr int pictureHeight = 256;
constexpr int paletteEntries = 256;

using Picture = BitmapResource;

bool inkAt(const Picture& picture, int x, int y) {
    const RGBQUAD c = picture.pixel(x, y);
    return luminance(c.rgbRed, c.rgbGreen, c.rgbBlue) < inkLuminance;
}

// The disc's amber fill: strong red and green, little blue; nothing else in the picture is.
bool discAt(const Picture& picture, int x, int y) {
    const RGBQUAD c = picture.pixel(x, y);
    return c.rgbRed > 200 && c.rgbGreen > 120 && c.rgbBlue < 100;
}

// Where the pictures draw things, rows counted from the top; right and bottom excluded.
constexpr RECT leftLetterBox{24, 24, 104, 120};
constexpr RECT rightLetterBox{152, 24, 232, 120};
constexpr RECT discBox{76, 136, 180, 232};
constexpr int discRow = 184;
constexpr double leftEyeDiscCentre = 132;
constexpr double rightEyeDiscCentre = 124;
constexpr int wideHalf = 256;

bool inBox(const RECT& box, int x, int y) {
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

int inkInBox(const Picture& picture, const RECT& box, int parity, int xOffset = 0) {
    int count = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (y % 2 == parity && inkAt(picture, x + xOffset, y))
                ++count;
    return count;
}

// The middle of the disc in one row, from its first and last pixel; -1 when the row has none.
double discCentre(const Picture& picture, int y, int from, int to) {
    int first = -1;
    int last = -1;
    for (int x = from; x < to; ++x)
        if (discAt(picture, x, y)) {
            if (first < 0)
                first = x;
            last = x;
        }
    return first < 0 ? -1 : (first + last + 1) / 2.0;
}

void expectPictureFormat(const Picture& picture, int width) {
    ASSERT_TRUE(picture.found());
    const BITMAPINFOHEADER& header = picture.header();
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.biWidth, width);
    EXPECT_EQ(header.biHeight, pictureHeight) << "positive: stored bottom-up";
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(picture.paletteSize(), paletteEntries);
    EXPECT_EQ(picture.pixelBytes(), static_cast<DWORD>(width * pictureHeight));
}

TEST(InterleaveTestPicture, IsAn8BitBottomUpPictureOf256By256WithA256ColourPalette) {
    const Picture picture(IDB_INTERLEAVE_TEST);
    expectPictureFormat(picture, 256);

    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageA(module(), MAKEINTRESOURCEA(IDB_INTERLEAVE_TEST), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(bitmapSize(loaded).cx, 256);
    EXPECT_EQ(bitmapSize(loaded).cy, 256);
    DeleteObject(loaded);
}

TEST(InterleaveTestPicture, TheTopRowAndEveryEvenRowShowRAndTheOddRowsShowL) {
    const Picture picture(IDB_INTERLEAVE_TEST);
    ASSERT_TRUE(picture.found());
    EXPECT_GT(inkInBox(picture, rightLetterBox, 0), 1000);
    EXPECT_EQ(inkInBox(picture, rightLetterBox, 1), 0);
    EXPECT_GT(inkInBox(picture, leftLetterBox, 1), 1000);
    EXPECT_EQ(inkInBox(picture, leftLetterBox, 0), 0);
}

TEST(InterleaveTestPicture, TheDiscIsFurtherRightForTheLeftEyeSoItStandsOutInFront) {
    const Picture picture(IDB_INTERLEAVE_TEST);
    ASSERT_TRUE(picture.found());
    for (int y = discRow - 16; y < discRow + 16; ++y) {
        const double expected = y % 2 ? leftEyeDiscCentre : rightEyeDiscCentre;
        EXPECT_EQ(discCentre(picture, y, 0, 256), expected) << "row " << y;
    }
}

// Apart from the letters and the disc both eyes see the same background: it lies in the screen.
TEST(InterleaveTestPicture, BothEyesSeeTheSameBackground) {
    const Picture picture(IDB_INTERLEAVE_TEST);
    ASSERT_TRUE(picture.found());
    int different = 0;
    for (int y = 0; y < pictureHeight; y += 2)
        for (int x = 0; x < 256; ++x) {
            if (inBox(leftLetterBox, x, y) || inBox(rightLetterBox, x, y) || inBox(discBox, x, y))
                continue;
            const RGBQUAD even = picture.pixel(x, y);
            const RGBQUAD odd = picture.pixel(x, y + 1);
            if (std::memcmp(&even, &odd, sizeof(even)) != 0)
                ++different;
        }
    EXPECT_EQ(different, 0);
}

TEST(WideInterleaveTestPicture, Is512By256WithTheSamePalette) {
    const Picture wide(IDB_INTERLEAVE_TEST_WIDE);
    expectPictureFormat(wide, 512);
    const Picture picture(IDB_INTERLEAVE_TEST);
    ASSERT_TRUE(picture.found());
    EXPECT_EQ(std::memcmp(wide.palette(), picture.palette(), paletteEntries * sizeof(RGBQUAD)), 0);
}

TEST(WideInterleaveTestPicture, ShowsTheLeftEyeViewOnTheLeftAndTheRightEyeViewOnTheRight) {
    const Picture wide(IDB_INTERLEAVE_TEST_WIDE);
    ASSERT_TRUE(wide.found());
    for (int parity : {0, 1}) {
        EXPECT_GT(inkInBox(wide, leftLetterBox, parity), 1000);
        EXPECT_EQ(inkInBox(wide, rightLetterBox, parity), 0);
        EXPECT_GT(inkInBox(wide, rightLetterBox, parity, wideHalf), 1000);
        EXPECT_EQ(inkInBox(wide, leftLetterBox, parity, wideHalf), 0);
    }
    for (int y = discRow - 16; y < discRow + 16; ++y) {
        EXPECT_EQ(discCentre(wide, y, 0, wideHalf), leftEyeDiscCentre) << "row " << y;
        EXPECT_EQ(discCentre(wide, y, wideHalf, 2 * wideHalf), wideHalf + rightEyeDiscCentre)
            << "row " << y;
    }
}

} // namespace
