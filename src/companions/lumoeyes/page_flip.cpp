#include "lumoeyes/page_flip.h"

#include <d3d9.h>

#include <cstdio>

namespace {

// The errors that the reasons for no statistics name.
const char* errorName(HRESULT error) {
    switch (error) {
    case DXGI_ERROR_FRAME_STATISTICS_DISJOINT:
        return "DXGI_ERROR_FRAME_STATISTICS_DISJOINT";
    case E_NOTIMPL:
        return "E_NOTIMPL";
    case E_NOINTERFACE:
        return "E_NOINTERFACE";
    case D3DERR_INVALIDCALL:
        return "D3DERR_INVALIDCALL";
    }
    return nullptr;
}

} // namespace

std::string errorText(HRESULT error) {
    char text[64];
    const unsigned long code = static_cast<unsigned long>(error);
    if (const char* name = errorName(error))
        std::snprintf(text, sizeof(text), "0x%08lX %s", code, name);
    else
        std::snprintf(text, sizeof(text), "0x%08lX", code);
    return text;
}

void PageFlipper::beginMeasurement() {
    counted_ = MissedRefreshes{};
    presentCalls_ = 0;
}

bool PageFlipper::fail(const char* what, HRESULT error) {
    whyNot_ = presenter_ + ": " + what + " (error " + errorText(error) + ")";
    return false;
}

void PageFlipper::addReading(HRESULT result, const FrameStatistics& reading) {
    if (FAILED(result)) {
        statisticsError_ = result;
        // The counts after a display change do not follow on from those before it.
        if (result == DXGI_ERROR_FRAME_STATISTICS_DISJOINT)
            counted_.restart();
        return;
    }
    // A reading that never moves tells nothing: statistics count once presents reach it.
    if (!readingTaken_) {
        readingTaken_ = true;
        firstReading_ = reading;
    } else if (reading.presentCount != firstReading_.presentCount) {
        statisticsReported_ = true;
    }
    counted_.add(reading);
}

std::string PageFlipper::statisticsFailure(const char* call) const {
    const std::string what = presenter_ + ": " + call;
    if (readingTaken_)
        return what + " answers, but its present count stays at " +
               std::to_string(firstReading_.presentCount);
    if (FAILED(statisticsError_))
        return what + " answers error " + errorText(statisticsError_);
    return what + " was not asked: nothing was presented";
}

std::unique_ptr<PageFlipper> startPageFlip(HWND window, SIZE screen, const TestViews& views,
                                           const std::wstring& lines, std::string& whyNot) {
    whyNot.clear();
    for (auto make : {dxgiFlipper, direct3d9Flipper}) {
        std::unique_ptr<PageFlipper> flipper = make();
        if (flipper->start(window, screen, views, lines))
            return flipper;
        whyNot += (whyNot.empty() ? "" : "; ") + flipper->whyNot();
    }
    return nullptr;
}
