// The start-up baseline: a program that only registers a window class, creates one hidden window
// and runs its message loop, importing no more than a window needs.

#include "baselines.h"

namespace {

LRESULT CALLBACK trivialWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
