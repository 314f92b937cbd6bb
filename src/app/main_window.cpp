#include "app/main_window.h"

#include "app/exit_sequence.h"
#include "app/hot_keys.h"
#include "app/menu_ids.h"
#include "app/tray_icon.h"
#include "code/controller_state.h"
#include "resource.h"
#include "settings/error_report.h"
#include "settings/settings_store.h"

namespace {

constexpr UINT mainWindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;

LRESULT onCreate(HWND window) {
    addTrayIcon(window);
    makeVersionText();
    if (!loadOrResetSettings())
        reportError(controller.lastError);
    controller.propertiesWindow = nullptr;
    registerControllerHotKeys(window);
    return 0;
}

LRESULT onPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

void onCommand(HWND window, WORD id) {
    switch (id) {
    case MenuExit:
        runExitSequence(window);
        break;
    }
}

void onTimer(UINT_PTR timerId) {
    if (timerId == exitTimerId)
        PostQuitMessage(0);
}

} // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return onCreate(window);
    case WM_DESTROY:
        // The message loop ends through the exit timer, not through destruction.
        return 0;
    case WM_PAINT:
        return onPaint(window);
    case WM_COMMAND:
        onCommand(window, LOWORD(wParam));
        break;
    case WM_TIMER:
        onTimer(wParam);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int registerMainWindowClass() {
    WNDCLASSA windowClass{};
    windowClass.style = mainWindowClassStyle;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = controller.moduleInstance;
    windowClass.hIcon = LoadIconA(controller.moduleInstance, MAKEINTRESOURCEA(IDI_CONTROLLER));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = mainWindowClassName;
    return RegisterClassA(&windowClass) ? 1 : 0;
}

HWND createMainWindow() {
    // Never shown: the tray icon is the window's only visible trace.
    return CreateWindowExA(0, mainWindowClassName, mainWindowTitle, WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                           nullptr, controller.moduleInstance, nullptr);
}
