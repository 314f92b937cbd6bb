#pragma once
// The page-flip picture: whole frames, the left eye's and the right eye's in turns, one for each
// refresh of the display, presented with vertical sync, and the frame statistics read after each
// present where the system reports them. Two presenters behind one interface: DXGI's flip model
// (Windows 8 and later) and Direct3D 9Ex (Windows 7), each looked up at run time.

#include "lumoeyes/picture.h"
#include "lumoeyes/timing.h"

#include <windows.h>

#include <memory>
#include <string>

// The presenters as the report names them.
inline constexpr char dxgiPresenter[] = "DXGI flip model";
inline constexpr char direct3d9ExPresenter[] = "Direct3D 9Ex";
inline constexpr char direct3d9Presenter[] = "Direct3D 9";

// Presents queued ahead of the screen: two, so that a present waits for a refresh rather than
// the program falling behind by a whole queue.
inline constexpr UINT frameLatency = 2;
// The swap chain's buffers: the one on the screen and the one drawn into.
inline constexpr UINT flipBuffers = 2;

class PageFlipper {
  public:
    PageFlipper() = default;
    virtual ~PageFlipper() = default;
    PageFlipper(const PageFlipper&) = delete;
    PageFlipper& operator=(const PageFlipper&) = delete;

    // Starts in the window, which covers the screen, and draws both eyes' frames with the given
    // lines; false with whyNot() when it cannot.
    virtual bool start(HWND window, SIZE screen, const TestViews& views,
                       const std::wstring& lines) = 0;
    const std::string& whyNot() const { return whyNot_; }

    // Draws both frames again with other lines.
    virtual void redraw(const std::wstring& lines) = 0;

    // The next eye's frame; waits for the refresh when the frames before it are queued.
    virtual void presentNext() = 0;

    // What presents, as the report names it.
    const std::string& presenter() const { return presenter_; }

    // Whether the statistics tell of presents reaching the screen; whyNoStatistics() when not.
    bool statisticsReported() const { return statisticsReported_; }
    virtual std::string whyNoStatistics() const = 0;
    const MissedRefreshes& counted() const { return counted_; }
    uint64_t presentCalls() const { return presentCalls_; }
    double refreshHz() const { return refreshHz_; }

    // Counts from here on: what was presented before is not measured.
    void beginMeasurement();

  protected:
    bool fail(const char* what, HRESULT error);
    // One reading of the statistics after a present; a failed one is kept for whyNoStatistics().
    void addReading(HRESULT result, const FrameStatistics& reading);
    std::string statisticsFailure(const char* call) const;

    std::string presenter_;
    std::string whyNot_;
    double refreshHz_ = 0;
    uint64_t presentCalls_ = 0;
    const TestViews* views_ = nullptr;
    SIZE screen_{};
    int nextEye_ = 0;

  private:
    HRESULT statisticsError_ = S_OK;
    bool readingTaken_ = false;
    FrameStatistics firstReading_{};
    bool statisticsReported_ = false;
    MissedRefreshes counted_;
};

std::unique_ptr<PageFlipper> dxgiFlipper();
std::unique_ptr<PageFlipper> direct3d9Flipper();

// DXGI's flip model first; Direct3D 9Ex where DXGI is missing or does not start in the window.
// Nothing, with why, when neither starts.
std::unique_ptr<PageFlipper> startPageFlip(HWND window, SIZE screen, const TestViews& views,
                                           const std::wstring& lines, std::string& whyNot);

// "0x887A000B", and the name of the errors that the reasons name.
std::string errorText(HRESULT error);
