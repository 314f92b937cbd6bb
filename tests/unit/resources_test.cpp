// The controller's icon and tray tip, loaded from the resources that the program links, as the
// shell and the tray load them.

#include "resource.h"
#include "support/screen.h"

#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(Sizes, ControllerIcon, testing::Values(16, 32));

TEST(TrayTip, LoadsAsTheProductName) {
    char text[50] = {};
    EXPECT_EQ(LoadStringA(module(), IDS_TRAY_TIP, text, sizeof(text)), 15);
    EXPECT_EQ(std::string(text), "Vorn Controller");
}

} // namespace
