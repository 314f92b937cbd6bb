#pragma once
// A bitmap resource of this test program as a packed DIB (header, palette, rows), as a dialog's
// picture control gets it.

#include <windows.h>

class BitmapResource {
  public:
    explicit BitmapResource(int id);

    bool found() const { return header_ != nullptr; }
    const BITMAPINFOHEADER& header() const { return *header_; }
    int paletteSize() const;
    const RGBQUAD* palette() const;
    DWORD pixelBytes() const;
    // The colour at x in row y of an 8-bit picture stored bottom-up, rows counted from the top.
    RGBQUAD pixel(int x, int y) const;
    COLORREF colour(int x, int y) const;

  private:
    const BITMAPINFOHEADER* header_ = nullptr;
    DWORD bytes_ = 0;
};
