// lumoeyes: which eye sees what. Switches stereo on through the running controller in a mode and
// shows that mode's test picture over the whole primary screen; R swaps the eyes where the glasses
// can, Esc (or a click, a close, a second test) ends it and puts the glasses back as they were.

#include "client/controller_client.h"
#include "code/gdi_objects.h"
#include "common/argument_words.h"
#include "common/console_output.h"
#include "common/handle.h"
#include "common/names.h"
#include "lumoeyes/glasses.h"
#include "lumoeyes/options.h"
#include "lumoeyes/page_flip.h"
#include "lumoeyes/picture.h"
#include "lumoeyes/timing.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t windowTitle[] = L"Vorn Controller Eye Test";
// How long a second test waits for the first to put the glasses back and end.
constexpr DWORD firstTestEndWaitMs = 15000;
// How often the page-flip picture tells its missed refreshes again.
constexpr double liveLineSeconds = 1.0;
// How long a measurement presents, before it counts, for the first statistics that tell of
// presents reaching the screen.
constexpr double statisticsWaitSeconds = 1.0;

// The one eye test on the screen: its mode, the glasses as they were, its picture. A measurement
// leaves the glasses alone.
struct EyeTest {
    StereoMode mode;
    GlassesState before;
    bool reverse;
    bool measuring;
    HBITMAP picture = nullptr;
    // The window whose end ends the test.
    HWND window = nullptr;
};

EyeTest* test = nullptr;

// On the console, or in a message box above the picture where there is no console.
void reportError(const std::string& text) {
    HWND owner = test && IsWindow(test->window) ? test->window : nullptr;
    ::reportError(text, owner, windowTitle);
}

// The controller's own answer is on the screen as its code; a failure is told.
bool send(short command) {
    const SendResult result = sendToController(command);
    if (result.outcome == SendOutcome::Sent)
        return true;
    reportError(result.outcome == SendOutcome::NotRegistered
                    ? "lumoeyes: ZEZIZER.LumoCode is not registered.\n"
                    : "lumoeyes: cannot reach the Lumo Controller.\n");
    return false;
}

void onSwapEyes() {
    if (test->measuring)
        return;
    if (test->mode == ModeInterleaved) {
        // The reversed command: the controller stores the new order as its own.
        test->reverse = !test->reverse;
        send(stereoOnCommand(test->mode, test->reverse));
    } else if (test->mode == ModePageFlip) {
        send(stereoOnCommand(test->mode, test->reverse));
    }
}

void onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (test->picture) {
        MemoryDc memory(dc);
        memory.select(test->picture);
        const RECT& area = paint.rcPaint;
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
               memory.get(), area.left, area.top, SRCCOPY);
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            DestroyWindow(window);
        else if (wParam == 'R' && !(lParam & (1 << 30)))
            onSwapEyes();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (window == test->window)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A test already on the screen ends first, putting the glasses back; this one then starts from
// the glasses as they were before it.
void endRunningTest() {
    HWND running = FindWindowW(lumoeyesWindowClass, nullptr);
    if (!running)
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    const Handle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    PostMessageW(running, WM_CLOSE, 0, 0);
    if (process)
        WaitForSingleObject(process.get(), firstTestEndWaitMs);
}

bool registerTestWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = testWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = lumoeyesWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

HWND createTestWindow(HINSTANCE instance, SIZE screen) {
    return CreateWindowExW(WS_EX_TOPMOST, lumoeyesWindowClass, windowTitle, WS_POPUP, 0, 0,
                           screen.cx, screen.cy, nullptr, nullptr, instance, nullptr);
}

void showInFront(HWND window) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
}

double secondsSince(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
}

// False once the window has gone.
bool handleMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            return false;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

std::wstring liveLines(const PageFlipper& flip, double seconds) {
    if (!flip.statisticsReported())
        return keyLines(ModePageFlip) + L"\nmissed refreshes: this system does not tell";
    return keyLines(ModePageFlip) + L"\n" + missedLine(flip.counted().missed(), seconds);
}

// Frames in turns until the window goes or, when measuring, the seconds are over.
double presentFrames(PageFlipper& flip, int timingSeconds) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    double nextLiveLine = liveLineSeconds;
    double seconds = 0;
    while (handleMessages()) {
        flip.presentNext();
        seconds = secondsSince(start);
        if (timingSeconds && seconds >= timingSeconds)
            break;
        if (!timingSeconds && seconds >= nextLiveLine) {
            flip.redraw(liveLines(flip, seconds));
            nextLiveLine += liveLineSeconds;
        }
    }
    return seconds;
}

// Presents until the statistics tell of presents reaching the screen, or the wait is over; false
// when they did not.
bool statisticsCome(PageFlipper& flip) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    while (!flip.statisticsReported() && secondsSince(start) < statisticsWaitSeconds) {
        if (!handleMessages()) {
            // For the loop that follows, which ends on it.
            PostQuitMessage(0);
            break;
        }
        flip.presentNext();
    }
    return flip.statisticsReported();
}

// A measurement needs statistics. Where DXGI presents without them, Direct3D 9Ex measures in its
// place if it tells them, in a window of its own: a window that a flip-model swap chain presented
// to takes no other presenter. Otherwise the first stays, and the reason why 9Ex does not measure
// either comes back for the report.
std::string presenterWithStatistics(HINSTANCE instance, SIZE screen, const TestViews& views,
                                    std::unique_ptr<PageFlipper>& flip) {
    if (statisticsCome(*flip) || flip->presenter() != dxgiPresenter || !IsWindow(test->window))
        return {};
    std::unique_ptr<PageFlipper> other = direct3d9Flipper();
    HWND otherWindow = createTestWindow(instance, screen);
    std::string why = "no window for Direct3D 9Ex";
    if (otherWindow && other->start(otherWindow, screen, views, keyLines(ModePageFlip))) {
        showInFront(otherWindow);
        if (statisticsCome(*other)) {
            HWND first = test->window;
            test->window = otherWindow;
            flip = std::move(other);
            DestroyWindow(first);
            return {};
        }
        why = other->whyNoStatistics();
    } else if (otherWindow) {
        why = other->whyNot();
    }
    other.reset();
    if (otherWindow)
        DestroyWindow(otherWindow);
    SetForegroundWindow(test->window);
    return why;
}

void writeTimingReport(const PageFlipper& flip, double seconds, bool json,
                       const std::string& whyNotOther) {
    if (!flip.statisticsReported()) {
        const std::string why =
            flip.whyNoStatistics() + (whyNotOther.empty() ? "" : "; " + whyNotOther);
        if (json)
            writeConsoleOutput(STD_OUTPUT_HANDLE, noStatisticsJson(why, flip.presenter(), seconds,
                                                                   flip.presentCalls()));
        else
            reportError(noStatisticsText(why));
        return;
    }
    const TimingReport report = timingReport(flip.counted(), flip.presenter(), flip.refreshHz(),
                                             seconds, flip.presentCalls());
    writeConsoleOutput(STD_OUTPUT_HANDLE, json ? timingJson(report) : timingText(report));
}

int timingExit(const PageFlipper& flip) {
    if (!flip.statisticsReported())
        return ExitCannotRun;
    return timingExitCode(
        timingReport(flip.counted(), flip.presenter(), flip.refreshHz(), 0, flip.presentCalls()));
}

// The picture in its window until the window goes; --timing's seconds when measuring. The glasses
// are switched for a test and put back after it; a measurement leaves them alone.
int showTest(HINSTANCE instance, StereoMode mode, const Options& options) {
    const bool measuring = options.timingSeconds != 0;
    if (!measuring)
        endRunningTest();
    const ComApartment apartment;
    const TestViews views(instance);
    const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EyeTest running{mode, storedGlassesState(), false, measuring};
    running.reverse = running.before.reverse;
    if (mode != ModePageFlip) {
        HDC screenDc = GetDC(nullptr);
        running.picture = views.loaded() ? drawTestPicture(screenDc, views, mode, screen) : nullptr;
        ReleaseDC(nullptr, screenDc);
    }
    test = &running;
    running.window = views.loaded() && registerTestWindowClass(instance)
                         ? createTestWindow(instance, screen)
                         : nullptr;
    const bool flips = running.window && mode == ModePageFlip;
    std::string whyNot = "cannot show the test picture";
    std::unique_ptr<PageFlipper> flip;
    if (flips) {
        flip = startPageFlip(running.window, screen, views, keyLines(mode), whyNot);
        whyNot = "page flip cannot run: " + whyNot;
    }
    if (!running.window || (!flips && !running.picture) || (flips && !flip)) {
        if (options.json)
            writeConsoleOutput(STD_OUTPUT_HANDLE, noStatisticsJson(whyNot, {}, 0, 0));
        else
            reportError("lumoeyes: " + whyNot + "\n");
        if (running.window)
            DestroyWindow(running.window);
        if (running.picture)
            DeleteObject(running.picture);
        test = nullptr;
        return ExitCannotRun;
    }
    showInFront(running.window);
    std::string whyNotOther;
    if (measuring) {
        whyNotOther = presenterWithStatistics(instance, screen, views, flip);
        flip->beginMeasurement();
    }
    // The picture is up before the code: the controller's code window opens above it.
    const bool switched = measuring || send(stereoOnCommand(mode, running.reverse));
    double seconds = 0;
    if (switched && flips) {
        seconds = presentFrames(*flip, options.timingSeconds);
    } else {
        MSG message;
        while (switched && GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // The report while the picture is up: a message box for it has its owner.
    int measuredExit = ExitCannotRun;
    if (measuring) {
        writeTimingReport(*flip, seconds, options.json, whyNotOther);
        measuredExit = timingExit(*flip);
    }
    // The presenter goes before its window.
    flip.reset();
    if (IsWindow(running.window))
        DestroyWindow(running.window);
    if (running.picture)
        DeleteObject(running.picture);
    test = nullptr;
    if (measuring)
        return measuredExit;
    if (!switched)
        return ExitCannotRun;
    return send(restoringCommand(running.before)) ? ExitDone : ExitCannotRun;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::optional<Options> options = parseOptions(argumentWords());
    if (!options) {
        reportError(usageText);
        return ExitUsage;
    }
    if (options->help) {
        writeConsoleOutput(STD_OUTPUT_HANDLE, usageText);
        return ExitDone;
    }
    const StereoMode mode =
        options->timingSeconds ? ModePageFlip : options->mode.value_or(storedGlassesState().mode);
    return showTest(instance, mode, *options);
}
