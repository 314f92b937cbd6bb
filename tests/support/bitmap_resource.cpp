#include "support/bitmap_resource.h"

BitmapResource::BitmapResource(int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_BITMAP);
    if (!found)
        return;
    bytes_ = SizeofResource(module, found);
    header_ = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
}

int BitmapResource::paletteSize() const {
    return header_->biClrUsed ? static_cast<int>(header_->biClrUsed) : 1 << header_->biBitCount;
}

const RGBQUAD* BitmapResource::palette() const {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header_) +
                                            header_->biSize);
}

DWORD BitmapResource::pixelBytes() const {
    return bytes_ - header_->biSize - paletteSize() * sizeof(RGBQUAD);
}

RGBQUAD BitmapResource::pixel(int x, int y) const {
    const int stride = (header_->biWidth + 3) / 4 * 4;
    const BYTE* rows = reinterpret_cast<const BYTE*>(palette() + paletteSize());
    const int stored = header_->biHeight - 1 - y;
    return palette()[rows[stored * stride + x]];
}

COLORREF BitmapResource::colour(int x, int y) const {
    const RGBQUAD value = pixel(x, y);
    return RGB(value.rgbRed, value.rgbGreen, value.rgbBlue);
}
