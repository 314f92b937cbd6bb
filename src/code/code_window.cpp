#include "code/code_window.h"

#include "code/controller_state.h"
#include "code/display_code.h"
#include "settings/error_codes.h"

namespace {

constexpr UINT codeWindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
// The resources hold no icon of this number, so the class ends up without one, which a
// captionless tool window never shows.
constexpr WORD codeWindowIconId = 101;

void onCreate(HWND window) {
    SetTimer(window, codeWindowTimerId, codeWindowLifetimeMs, nullptr);
}

// The command a window was opened for; a later command's window shows its own code.
int32_t codeOfWindow(HWND window) {
    return static_cast<int32_t>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The window never takes the activation, so there is no foreground to hand back: the program in
// front (a full-screen game above all) keeps its keyboard focus and its activation throughout.
void onPaint(HWND window) {
    raiseCodeWindow(window);
    // Invalidate without erasing: the window has no background and draws nothing but the code.
    InvalidateRect(window, nullptr, FALSE);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    paintDisplayCode(dc, codeOfWindow(window));
    EndPaint(window, &paint);
}

// A game that switches the display mode while a code shows: the window takes the new primary
// screen, its region the code's rows across the new width, and it stays a whole second from the
// last change, as the monitor's resync may have eaten part of the second before it.
void onDisplayChange(HWND window) {
    // The region first: the window is never seen at its new size showing more than its rows.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    limitWindowToCodeRows(window, codeOfWindow(window), width);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, width, GetSystemMetrics(SM_CYSCREEN), SWP_NOACTIVATE);
    SetTimer(window, codeWindowTimerId, codeWindowLifetimeMs, nullptr);
}

void onTimer(HWND window, UINT_PTR timerId) {
    if (timerId == codeWindowTimerId)
        DestroyWindow(window);
}

} // namespace

LRESULT CALLBACK codeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        onCreate(window);
        break;
    case WM_PAINT:
        onPaint(window);
        break;
    case WM_DISPLAYCHANGE:
        onDisplayChange(window);
        break;
    case WM_TIMER:
        onTimer(window, wParam);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int registerCodeWindowClass() {
    WNDCLASSA existing;
    if (GetClassInfoA(controller.moduleInstance, codeWindowClassName, &existing))
        return 1;

    WNDCLASSA windowClass{};
    windowClass.style = codeWindowClassStyle;
    windowClass.lpfnWndProc = codeWindowProc;
    windowClass.hInstance = controller.moduleInstance;
    windowClass.hIcon = LoadIconA(controller.moduleInstance, MAKEINTRESOURCEA(codeWindowIconId));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = codeWindowClassName;
    if (!RegisterClassA(&windowClass)) {
        controller.lastError = ErrorRegisterCodeWindowClass;
        return 0;
    }
    return 1;
}

int openCodeWindow() {
    if (!registerCodeWindowClass())
        return 0;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    HWND window = CreateWindowExA(codeWindowExStyle, codeWindowClassName, codeWindowTitle, WS_POPUP,
                                  0, 0, width, GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  controller.moduleInstance, nullptr);
    if (!window) {
        controller.lastError = ErrorCreateCodeWindow;
        return 0;
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, controller.currentCode);
    // The rows of the code it is opened for. A later command's window lies above it; where that
    // code is shorter, this one's further rows stay visible until its second is over, as they did
    // on a desktop without composition. Without a region (no GDI memory left) the code still
    // shows, over a window as large as the screen.
    limitWindowToCodeRows(window, controller.currentCode, width);
    ShowWindow(window, codeWindowShowCommand);
    return 1;
}
