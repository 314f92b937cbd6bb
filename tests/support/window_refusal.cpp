#include "support/window_refusal.h"

namespace {

// One refusal at a time: the hook procedure has no way to find its object.
std::string refusedTitle;

LRESULT CALLBACK refuseCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const char* title = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszName;
        if (title && !IS_INTRESOURCE(title) && refusedTitle == title)
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

WindowRefusal::WindowRefusal(std::string title) {
    refusedTitle = std::move(title);
    hook_ = SetWindowsHookExA(WH_CBT, refuseCreation, nullptr, GetCurrentThreadId());
}

WindowRefusal::~WindowRefusal() {
    if (hook_)
        UnhookWindowsHookEx(hook_);
}
