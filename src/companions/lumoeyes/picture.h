#pragma once
// The test picture: the interleave test's two views (the left eye's blue "L", the right eye's red
// "R", the disc that floats in front of the grid or sinks behind it), drawn for each stereo mode
// with the lines that say what to look for.

#include "lumoeyes/options.h"

#include <windows.h>

#include <string>

enum class Eye { Left, Right };

// The two views of the controller's wide test picture, left beside right, from the program's
// resources.
class TestViews {
  public:
    explicit TestViews(HINSTANCE instance);
    ~TestViews();
    TestViews(const TestViews&) = delete;
    TestViews& operator=(const TestViews&) = delete;

    bool loaded() const { return bitmap_ != nullptr; }

    // One eye's view fitted into the area, its background around it, the lines centred below it.
    void draw(HDC dc, const RECT& area, Eye eye, const std::wstring& lines) const;

  private:
    HBITMAP bitmap_ = nullptr;
};

// What the picture says about the keys in a mode.
std::wstring keyLines(StereoMode mode);

// The whole picture of an Interleaved or Over/Under test for a screen of the given size, as a
// bitmap compatible with the DC: the caller deletes it. Interleaved: the left view on the even
// screen rows, as the glasses give the screen's top scanline to the left eye in the normal order.
// Over/Under: the left view in the top half, the right view in the bottom half.
HBITMAP drawTestPicture(HDC dc, const TestViews& views, StereoMode mode, SIZE screen);
