#pragma once
// The top rows of the primary screen, copied into a 32-bit DIB section. Only reads the screen.

#include <windows.h>

#include <cstdint>
#include <span>

// The tallest code has 14 rows; two more show one that stands a row low in full.
constexpr int watchedRows = 16;

class ScreenTop {
  public:
    ScreenTop() = default;
    ~ScreenTop();
    ScreenTop(const ScreenTop&) = delete;
    ScreenTop& operator=(const ScreenTop&) = delete;

    // Copies the rows again, following changes of the screen's size; false when the screen
    // cannot be read now.
    bool read();

    // 0x00RRGGBB pixels, top row first.
    std::span<const uint32_t> pixels() const;
    int width() const { return width_; }

  private:
    bool makeSurface(int width, int rows);
    void releaseSurface();

    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const uint32_t* bits_ = nullptr;
    int width_ = 0;
    int rows_ = 0;
};
