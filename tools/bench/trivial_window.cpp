// The baselines of start-up and of the code window: a program that registers a window class,
// creates one hidden window and runs its message loop, importing no more than a window needs.
// Asked by a message to its hidden window, it does what the design of a code window needs and no
// more: creates, shows and paints a full-screen popup of the code window's class style, extended
// styles, region and show command with the rows of a display code, and destroys it a second later.

#include "baselines.h"

#include "code/code_window.h"
#include "code/display_code.h"

namespace {

// The code window's class: redrawn in full on a size change, no background brush.
constexpr UINT floorWindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
constexpr UINT_PTR floorWindowTimerId = 1;
constexpr UINT floorWindowLifetimeMs = 1000;

HINSTANCE moduleInstance = nullptr;
// The display code that the popups paint, as the controller keeps its current code.
int32_t shownCode = 0;
DWORD paintFlags = 0;

void onFloorCreate(HWND window) {
    SetTimer(window, floorWindowTimerId, floorWindowLifetimeMs, nullptr);
}

void onFloorPaint(HWND window) {
    // The code window's own additions, only when asked: it raises itself to the top.
    if (paintFlags & floorPaintRaise) {
        raiseCodeWindow(window);
        InvalidateRect(window, nullptr, FALSE);
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    paintDisplayCode(dc, shownCode);
    EndPaint(window, &paint);
}

void onFloorTimer(HWND window, UINT_PTR timerId) {
    if (timerId == floorWindowTimerId)
        DestroyWindow(window);
}

LRESULT CALLBACK floorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        onFloorCreate(window);
        break;
    case WM_PAINT:
        onFloorPaint(window);
        return 0;
    case WM_TIMER:
        onFloorTimer(window, wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Registered on the first popup, as the controller registers its class on the first command: the
// start-up baseline stays one class and one window.
bool registerFloorWindowClass() {
    WNDCLASSA existing;
    if (GetClassInfoA(moduleInstance, floorWindowClass, &existing))
        return true;
    WNDCLASSA windowClass{};
    windowClass.style = floorWindowClassStyle;
    windowClass.lpfnWndProc = floorWindowProc;
    windowClass.hInstance = moduleInstance;
    windowClass.lpszClassName = floorWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

void onShowFloorCode(int32_t code, DWORD flags) {
    shownCode = code;
    paintFlags = flags;
    if (!registerFloorWindowClass())
        return;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    HWND window =
        CreateWindowExA(codeWindowExStyle, floorWindowClass, "", WS_POPUP, 0, 0, width,
                        GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, moduleInstance, nullptr);
    if (!window)
        return;
    limitWindowToCodeRows(window, code, width);
    ShowWindow(window, codeWindowShowCommand);
}

LRESULT CALLBACK trivialWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case showFloorCodeMessage:
        onShowFloorCode(static_cast<int32_t>(wParam), static_cast<DWORD>(lParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    moduleInstance = instance;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = trivialWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = trivialWindowClass;
    if (!RegisterClassA(&windowClass))
        return 1;
    if (!CreateWindowExA(0, trivialWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                         nullptr, instance, nullptr))
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
