#include "lumowatch/screen_top.h"

#include <algorithm>

namespace {

// The device context of the whole screen for the span of one copy.
class ScreenDc {
  public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_)
            ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;

    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

constexpr WORD bitsPerPixel = 32;

} // namespace

ScreenTop::~ScreenTop() {
    releaseSurface();
}

std::span<const uint32_t> ScreenTop::pixels() const {
    return {bits_, static_cast<size_t>(width_) * static_cast<size_t>(rows_)};
}

bool ScreenTop::read() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int rows = std::min(watchedRows, GetSystemMetrics(SM_CYSCREEN));
    if (width < 1 || rows < 1)
        return false;
    if ((width != width_ || rows != rows_) && !makeSurface(width, rows))
        return false;
    ScreenDc screen;
    // Without CAPTUREBLT: that flag hides the mouse pointer for the copy on some systems, and
    // lumowatch must not change anything on screen.
    const bool copied =
        screen.get() && BitBlt(memory_, 0, 0, width, rows, screen.get(), 0, 0, SRCCOPY);
    GdiFlush();
    return copied;
}

bool ScreenTop::makeSurface(int width, int rows) {
    releaseSurface();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -rows; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    memory_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!memory_ || !bitmap_) {
        releaseSurface();
        return false;
    }
    previous_ = SelectObject(memory_, bitmap_);
    bits_ = static_cast<const uint32_t*>(bits);
    width_ = width;
    rows_ = rows;
    return true;
}

void ScreenTop::releaseSurface() {
    if (memory_ && previous_)
        SelectObject(memory_, previous_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (memory_)
        DeleteDC(memory_);
    memory_ = nullptr;
    bitmap_ = nullptr;
    previous_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    rows_ = 0;
}
