// The code window on the real screen: what it paints, how it is made and how long it lives.

#include "code/code_window.h"
#include "code/controller_state.h"
#include "code/display_code.h"
#include "settings/error_codes.h"
#include "support/code_on_screen.h"
#include "support/code_table.h"
#include "support/import_patch.h"
#include "support/screen.h"
#include "support/test_host.h"
#include "support/wait.h"
#include "support/window_log.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <utility>

namespace {

constexpr COLORREF background = RGB(40, 90, 160);
constexpr DWORD windowAppearsMs = 2000;

class CodeWindow : public testing::Test {
  protected:
    void SetUp() override {
        controller = ControllerState{};
        controller.moduleInstance = GetModuleHandleA(nullptr);
        waitForNoCodeWindows();
    }
    void TearDown() override { waitForNoCodeWindows(); }

    static void waitForNoCodeWindows() {
        ASSERT_TRUE(
            waitUntil([] { return topLevelWindowsOfClass(codeWindowClassName).empty(); }, 3000));
    }

    // Opens a code window for a command and waits until it is on the screen and painted.
    static HWND openFor(int32_t command) {
        controller.currentCode = command;
        EXPECT_EQ(openCodeWindow(), 1);
        HWND window = nullptr;
        waitUntil(
            [&] {
                auto windows = topLevelWindowsOfClass(codeWindowClassName);
                window = windows.empty() ? nullptr : windows.front();
                return window && IsWindowVisible(window) && !GetUpdateRect(window, nullptr, FALSE);
            },
            windowAppearsMs);
        return window;
    }

    static int screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
};

TEST_F(CodeWindow, PaintsEveryCodeAcrossTheTopRowsOfTheScreen) {
    for (const ExpectedCode& code : expectedCodes) {
        HWND window = openFor(code.command);
        ASSERT_NE(window, nullptr) << "command " << code.command;
        const int painted = static_cast<int>(code.rows.size());
        Capture screen = Capture::screen(screenWidth(), painted);
        for (int y = 0; y < painted; ++y)
            EXPECT_EQ(screen.firstMismatch(y, colourOfLetter(code.rows[y])), -1)
                << "command " << code.command << ", row " << y << ", colour " << std::hex
                << screen.pixel(0, y);
        DestroyWindow(window);
    }
}

TEST_F(CodeWindow, RepaintsTheCodeItWasOpenedForAfterALaterCommand) {
    HWND window = openFor(StereoReverse);
    ASSERT_NE(window, nullptr);
    // Paint a background into the window's own device context, then let it repaint.
    constexpr int rows = stereoCodeRows;
    HDC dc = GetDC(window);
    fillRect(dc, RECT{0, 0, screenWidth(), rows}, background);
    controller.currentCode = LcdMode1;
    SendMessageA(window, WM_PAINT, 0, 0);
    Capture inWindow(dc, screenWidth(), rows);
    ReleaseDC(window, dc);

    const std::string_view stereo = "RRGGYYYYKR";
    for (int y = 0; y < rows; ++y)
        EXPECT_EQ(inWindow.firstMismatch(y, colourOfLetter(stereo[y])), -1) << "row " << y;
    DestroyWindow(window);
}

TEST_F(CodeWindow, IsABorderlessToolPopupOverThePrimaryScreenWithAPlainClass) {
    HWND window = openFor(StereoNormal);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS), WS_POPUP);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE),
              WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE);
    EXPECT_EQ(windowText(window), codeWindowTitle);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, screenWidth());
    EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);

    WNDCLASSA windowClass{};
    ASSERT_TRUE(GetClassInfoA(controller.moduleInstance, codeWindowClassName, &windowClass));
    EXPECT_EQ(windowClass.style, 43u);
    EXPECT_EQ(windowClass.hbrBackground, nullptr);
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.lpszMenuName, nullptr);
    DestroyWindow(window);
}

// The first visible window in the z-order: hidden ones (the shell keeps hidden topmost tooltip
// windows of tray icons that have come and gone) cover nothing.
HWND topVisibleWindow() {
    HWND window = GetTopWindow(nullptr);
    while (window && !IsWindowVisible(window))
        window = GetWindow(window, GW_HWNDNEXT);
    return window;
}

// The window's region: its type, and the rectangle around it in window coordinates.
struct WindowRegion {
    int type;
    RECT box;
};

WindowRegion windowRegion(HWND window) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    WindowRegion result{GetWindowRgn(window, region), {}};
    GetRgnBox(region, &result.box);
    DeleteObject(region);
    return result;
}

TEST_F(CodeWindow, OwnsOnlyTheRowsOfItsCodeAndLeavesTheRestOfTheScreenToTheWindowsBeneath) {
    const int width = screenWidth();
    const int height = GetSystemMetrics(SM_CYSCREEN);
    for (const auto& [command, rows] :
         {std::pair{StereoOff, stereoCodeRows}, std::pair{LcdModeOff, lcdCodeRows}}) {
        HWND window = openFor(command);
        ASSERT_NE(window, nullptr) << "command " << command;
        const WindowRegion region = windowRegion(window);
        EXPECT_EQ(region.type, SIMPLEREGION) << "command " << command;
        EXPECT_TRUE(EqualRect(&region.box, std::array{RECT{0, 0, width, rows}}.data()))
            << "command " << command << ": " << region.box.left << "," << region.box.top << ","
            << region.box.right << "," << region.box.bottom;
        EXPECT_EQ(WindowFromPoint({width - 1, rows - 1}), window) << "command " << command;
        EXPECT_NE(WindowFromPoint({0, rows}), window) << "command " << command;
        EXPECT_NE(WindowFromPoint({width / 2, height / 2}), window) << "command " << command;
        DestroyWindow(window);
    }
}

// A topmost window that covers the screen in one known colour.
class ColouredWindow {
  public:
    explicit ColouredWindow(COLORREF colour) : brush_(CreateSolidBrush(colour)) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = brush_;
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, className,
                                  "", WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~ColouredWindow() {
        DestroyWindow(window_);
        UnregisterClassA(className, GetModuleHandleA(nullptr));
        DeleteObject(brush_);
    }
    ColouredWindow(const ColouredWindow&) = delete;
    ColouredWindow& operator=(const ColouredWindow&) = delete;

  private:
    static constexpr char className[] = "ZEZIZERTESTCOLOUR";
    HBRUSH brush_;
    HWND window_ = nullptr;
};

// What the screen shows, read back through GDI, which on Windows 8 and later reads the desktop as
// composed: a code window drawn there as a full-screen black or transparent surface would hide
// what is beneath its rows.
TEST_F(CodeWindow, LeavesTheWindowBeneathItsRowsToBeSeenOnTheScreen) {
    SKIP_WITHOUT_INTERACTIVE_DESKTOP();
    const int width = screenWidth();
    const POINT centre{width / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
    ColouredWindow beneath(background);
    ASSERT_TRUE(waitUntil(
        [&] {
            return Capture::screen(width, centre.y + 1).pixel(centre.x, centre.y) == background;
        },
        windowAppearsMs))
        << "the coloured window never showed";
    for (const ExpectedCode& code : expectedCodes) {
        HWND window = openFor(code.command);
        ASSERT_NE(window, nullptr) << "command " << code.command;
        // The composed frame follows the paint.
        EXPECT_TRUE(codeAppears(code.command, windowAppearsMs));
        const int rows = int(code.rows.size());
        Capture screen = Capture::screen(width, centre.y + 1);
        EXPECT_EQ(screen.firstMismatch(rows, background), -1)
            << "command " << code.command << ": the row below the code";
        EXPECT_EQ(screen.pixel(centre.x, centre.y), background) << "command " << code.command;
        DestroyWindow(window);
    }
}

TEST_F(CodeWindow, ComesAboveAnAlwaysOnTopWindowWithoutTakingItsActivation) {
    // An overlay or a game in front, always on top, with the keyboard.
    HWND front = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "always on top", WS_POPUP | WS_VISIBLE, 0,
                                 0, screenWidth(), 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(front, nullptr);
    SetForegroundWindow(front);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == front; }, 2000));

    HWND window = openFor(StereoNormal);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(topVisibleWindow(), window) << "the code is not on top";
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_EQ(GetActiveWindow(), front);
    DestroyWindow(window);
    DestroyWindow(front);
}

TEST_F(CodeWindow, DestroysItselfAboutOneSecondAfterItWasCreated) {
    const ULONGLONG opened = GetTickCount64();
    HWND window = openFor(StereoOff);
    ASSERT_NE(window, nullptr);

    waitUntil([&] { return !IsWindow(window) || GetTickCount64() - opened >= 800; }, 800);
    EXPECT_TRUE(IsWindow(window)) << "gone before 0.8 s";
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(window); }, 2000 - 800)) << "still there at 2 s";
}

TEST_F(CodeWindow, TwoWindowsEachVanishOnTheirOwnTimerAndShareOneClass) {
    HWND first = openFor(StereoNormal);
    ASSERT_NE(first, nullptr);
    pumpMessagesFor(400);
    HWND second = openFor(StereoReverse);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first, second);
    EXPECT_EQ(GetClassLongPtrA(first, GCW_ATOM), GetClassLongPtrA(second, GCW_ATOM));

    ASSERT_TRUE(waitUntil([&] { return !IsWindow(first); }, 2000));
    EXPECT_TRUE(IsWindow(second)) << "the second window went with the first one's timer";
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(second); }, 2000));
}

TEST_F(CodeWindow, LeavesTheForegroundWithTheWindowThatHasItWhileItPaints) {
    HWND window = openFor(StereoOn);
    ASSERT_NE(window, nullptr);
    HWND own = CreateWindowExA(0, "STATIC", "foreground owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               100, 100, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    SetForegroundWindow(own);
    const bool foreground = waitUntil([&] { return GetForegroundWindow() == own; }, 2000);
    // Windows lets a program take the foreground only in the cases that SetForegroundWindow lists.
    if (!foreground) {
        SKIP_OUTSIDE_TEST_HARNESS("Windows did not give this program the foreground");
    }
    ASSERT_TRUE(foreground);

    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

    EXPECT_EQ(GetForegroundWindow(), own);
    EXPECT_EQ(topVisibleWindow(), window) << "the code is not on top";
    DestroyWindow(own);
    DestroyWindow(window);
}

// Counts the pens the program makes and deletes while it paints.
LONG livePens = 0;
LONG createdPens = 0;
void* originalCreatePen = nullptr;
void* originalDeleteObject = nullptr;

HPEN WINAPI countingCreatePen(int style, int width, COLORREF colour) {
    HPEN pen = reinterpret_cast<decltype(&CreatePen)>(originalCreatePen)(style, width, colour);
    if (pen) {
        ++livePens;
        ++createdPens;
    }
    return pen;
}

BOOL WINAPI countingDeleteObject(HGDIOBJ object) {
    const bool pen = GetObjectType(object) == OBJ_PEN;
    BOOL deleted = reinterpret_cast<decltype(&DeleteObject)>(originalDeleteObject)(object);
    if (deleted && pen)
        --livePens;
    return deleted;
}

TEST_F(CodeWindow, PaintingLeaksNoGdiObjects) {
    HWND window = openFor(LcdMode1);
    ASSERT_NE(window, nullptr);
    ImportPatch createPen("gdi32.dll", "CreatePen", reinterpret_cast<void*>(countingCreatePen));
    ImportPatch deleteObject("gdi32.dll", "DeleteObject",
                             reinterpret_cast<void*>(countingDeleteObject));
    ASSERT_TRUE(createPen.active() && deleteObject.active());
    originalCreatePen = createPen.original();
    originalDeleteObject = deleteObject.original();
    livePens = 0;
    createdPens = 0;
    // Where the system counts GDI objects (Windows does, Wine answers 0), check that count too.
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HDC dc = GetDC(window);
    HGDIOBJ penBefore = GetCurrentObject(dc, OBJ_PEN);

    constexpr int paints = 300;
    for (int i = 0; i < paints; ++i)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

    EXPECT_GE(createdPens, 4 * paints) << "the paints did not go through the counted pens";
    EXPECT_EQ(livePens, 0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), penBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

TEST_F(CodeWindow, ReportsCode26WhenTheWindowCannotBeCreated) {
    {
        WindowLog refusing(codeWindowClassName);
        controller.currentCode = StereoNormal;
        EXPECT_EQ(openCodeWindow(), 0);
        EXPECT_EQ(controller.lastError, ErrorCreateCodeWindow);
    }
    EXPECT_TRUE(topLevelWindowsOfClass(codeWindowClassName).empty());
}

} // namespace
