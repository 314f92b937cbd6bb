#pragma once
// The page-flip picture: whole frames, the left eye's and the right eye's in turns, one for each
// refresh of the display, presented with vertical sync through Direct3D 9Ex (its flip model
// where the system has it), or through Direct3D 9 where 9Ex is missing; the frame statistics read
// after each present, where the system reports them.

#include "common/com_ptr.h"
#include "lumoeyes/picture.h"
#include "lumoeyes/timing.h"

#include <windows.h>

#include <d3d9.h>

#include <string>

class PageFlip {
  public:
    PageFlip() = default;
    ~PageFlip();
    PageFlip(const PageFlip&) = delete;
    PageFlip& operator=(const PageFlip&) = delete;

    // Starts Direct3D in the window, which covers the screen, and draws both eyes' frames with the
    // given lines; false with whyNot() when it cannot.
    bool start(HWND window, SIZE screen, const TestViews& views, const std::wstring& lines);
    const std::string& whyNot() const { return whyNot_; }

    // Draws both frames again with other lines.
    void redraw(const std::wstring& lines);

    // The next eye's frame; waits for the refresh when the frames before it are queued.
    void presentNext();

    // Whether a present's statistics came back; whyNoStatistics() when none did.
    bool statisticsReported() const { return statisticsReported_; }
    std::string whyNoStatistics() const;
    const MissedRefreshes& counted() const { return counted_; }
    uint64_t presentCalls() const { return presentCalls_; }
    double refreshHz() const { return refreshHz_; }

  private:
    bool fail(const char* what, HRESULT error);
    void readStatistics();

    HMODULE library_ = nullptr;
    ComPtr<IDirect3D9> direct3d_;
    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DDevice9Ex> deviceEx_;
    ComPtr<IDirect3DSwapChain9Ex> swapChainEx_;
    ComPtr<IDirect3DSurface9> frames_[2];
    const TestViews* views_ = nullptr;
    SIZE screen_{};
    std::string whyNot_;
    HRESULT statisticsError_ = S_OK;
    bool statisticsReported_ = false;
    MissedRefreshes counted_;
    uint64_t presentCalls_ = 0;
    double refreshHz_ = 0;
    int nextEye_ = 0;
};
