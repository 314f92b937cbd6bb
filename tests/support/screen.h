#pragma once
// Pixels read back from the real screen (or any device context) into a 32-bit DIB section.

#include <windows.h>

#include <cstdint>
#include <vector>

class Capture {
  public:
    // Copies a rectangle of a device context; from the whole screen when dc is null.
    Capture(HDC source, int width, int height);
    static Capture screen(int width, int height);
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF pixel(int x, int y) const;
    // The first x in a row whose colour is not the given one, or -1 when the whole row is.
    int firstMismatch(int y, COLORREF expected) const;

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const uint32_t* bits_ = nullptr;
};

// A memory bitmap of any size to paint on, filled with one colour.
class MemoryCanvas {
  public:
    MemoryCanvas(int width, int height, COLORREF fill);
    ~MemoryCanvas();
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC dc() const { return dc_; }
    Capture read() const { return Capture(dc_, width_, height_); }

  private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
};

// Fills a rectangle of a device context with a solid colour.
void fillRect(HDC dc, const RECT& rect, COLORREF colour);
