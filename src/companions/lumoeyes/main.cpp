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

// The one eye test on the screen: its mode, the glasses as they were, its picture. A measurement
// leaves the glasses alone.
struct EyeTest {
    StereoMode mode;
    GlassesState before;
    bool reverse;
    bool measuring;
    HBITMAP picture = nullptr;
};

EyeTest* test = nullptr;

// The controller's own answer is on the screen as its code; a failure is told on the console.
bool send(short command) {
    const SendResult result = sendToController(command);
    if (result.outcome == SendOutcome::Sent)
        return true;
    writeConsoleOutput(STD_ERROR_HANDLE, result.outcome == SendOutcome::NotRegistered
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

HWND createTestWindow(HINSTANCE instance, SIZE screen) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = testWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = lumoeyesWindowClass;
    if (!RegisterClassExW(&windowClass))
        return nullptr;
    return CreateWindowExW(WS_EX_TOPMOST, lumoeyesWindowClass, windowTitle, WS_POPUP, 0, 0,
                           screen.cx, screen.cy, nullptr, nullptr, instance, nullptr);
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

std::wstring liveLines(const PageFlip& flip, double seconds) {
    if (!flip.statisticsReported())
        return keyLines(ModePageFlip) + L"\nmissed refreshes: this system does not tell";
    return keyLines(ModePageFlip) + L"\n" + missedLine(flip.counted().missed(), seconds);
}

// Frames in turns until the window goes or, when measuring, the seconds are over.
double presentFrames(PageFlip& flip, int timingSeconds) {
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

void writeTimingReport(const PageFlip& flip, double seconds, bool json) {
    if (!flip.statisticsReported()) {
        const std::string why = flip.whyNoStatistics();
        writeConsoleOutput(json ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE,
                           json ? noStatisticsJson(why, seconds, flip.presentCalls())
                                : noStatisticsText(why));
        return;
    }
    const TimingReport report =
        timingReport(flip.counted(), flip.refreshHz(), seconds, flip.presentCalls());
    writeConsoleOutput(STD_OUTPUT_HANDLE, json ? timingJson(report) : timingText(report));
}

int timingExit(const PageFlip& flip) {
    if (!flip.statisticsReported())
        return ExitCannotRun;
    return timingExitCode(timingReport(flip.counted(), flip.refreshHz(), 0, flip.presentCalls()));
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
    HWND window = views.loaded() ? createTestWindow(instance, screen) : nullptr;
    PageFlip flip;
    const bool flips = window && mode == ModePageFlip;
    if (!window || (!flips && !running.picture) ||
        (flips && !flip.start(window, screen, views, keyLines(mode)))) {
        const std::string why = flips ? "page flip cannot run: " + flip.whyNot()
                                      : std::string("cannot show the test picture");
        writeConsoleOutput(options.json ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE,
                           options.json ? noStatisticsJson(why, 0, 0) : "lumoeyes: " + why + "\n");
        if (window)
            DestroyWindow(window);
        if (running.picture)
            DeleteObject(running.picture);
        test = nullptr;
        return ExitCannotRun;
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
    // The picture is up before the code: the controller's code window opens above it.
    const bool switched = measuring || send(stereoOnCommand(mode, running.reverse));
    double seconds = 0;
    if (switched && flips) {
        seconds = presentFrames(flip, options.timingSeconds);
    } else {
        MSG message;
        while (switched && GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (IsWindow(window))
        DestroyWindow(window);
    if (running.picture)
        DeleteObject(running.picture);
    test = nullptr;
    if (measuring) {
        writeTimingReport(flip, seconds, options.json);
        return timingExit(flip);
    }
    if (!switched)
        return ExitCannotRun;
    return send(restoringCommand(running.before)) ? ExitDone : ExitCannotRun;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::optional<Options> options = parseOptions(argumentWords());
    if (!options) {
        writeConsoleOutput(STD_ERROR_HANDLE, usageText);
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
