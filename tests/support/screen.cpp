#include "support/screen.h"

namespace {

HBITMAP createTopDownDib(HDC dc, int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

} // namespace

Capture::Capture(HDC source, int width, int height) : width_(width), height_(height) {
    HDC screenDc = source ? nullptr : GetDC(nullptr);
    HDC from = source ? source : screenDc;
    dc_ = CreateCompatibleDC(from);
    void* bits = nullptr;
    bitmap_ = createTopDownDib(from, width, height, &bits);
    bits_ = static_cast<const uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
    BitBlt(dc_, 0, 0, width, height, from, 0, 0, SRCCOPY);
    GdiFlush();
    if (screenDc)
        ReleaseDC(nullptr, screenDc);
}

Capture Capture::screen(int width, int height) {
    return Capture(nullptr, width, height);
}

Capture::~Capture() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF Capture::pixel(int x, int y) const {
    const uint32_t value = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int Capture::firstMismatch(int y, COLORREF expected) const {
    for (int x = 0; x < width_; ++x)
        if (pixel(x, y) != expected)
            return x;
    return -1;
}

MemoryCanvas::MemoryCanvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
    HDC screenDc = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screenDc);
    void* bits = nullptr;
    bitmap_ = createTopDownDib(screenDc, width, height, &bits);
    ReleaseDC(nullptr, screenDc);
    previous_ = SelectObject(dc_, bitmap_);
    fillRect(dc_, RECT{0, 0, width, height}, fill);
}

MemoryCanvas::~MemoryCanvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

void fillRect(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}
