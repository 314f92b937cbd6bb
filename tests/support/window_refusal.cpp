#include "support/window_refusal.h"

namespace {

// One refusal at a time: the hook procedure has no way to find its object.
WindowRefusal::Match refusedMatch;
std::string refusedName;

bool refused(const CREATESTRUCTA& create) {
    const char* name =
        refusedMatch == WindowRefusal::Match::ClassName ? create.lpszClass : create.lpszName;
    return name && !IS_INTRESOURCE(name) && refusedName == name;
}

LRESULT CALLBACK refuseCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && refused(*reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

WindowRefusal::WindowRefusal(Match match, std::string name) {
    refusedMatch = match;
    refusedName = std::move(name);
    hook_ = SetWindowsHookExA(WH_CBT, refuseCreation, nullptr, GetCurrentThreadId());
}

WindowRefusal::~WindowRefusal() {
    if (hook_)
        UnhookWindowsHookEx(hook_);
}
