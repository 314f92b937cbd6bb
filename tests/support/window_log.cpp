#include "support/window_log.h"

#include <algorithm>

namespace {

WindowLog* activeLog = nullptr;

// Atoms are named as the system names them: "#32770" for dialogs and message boxes.
std::string classOf(const CREATESTRUCTA& create) {
    if (!IS_INTRESOURCE(create.lpszClass))
        return create.lpszClass;
    char name[16];
    wsprintfA(name, "#%u", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(create.lpszClass)));
    return name;
}

} // namespace

WindowLog::WindowLog(const char* refusedClass, const char* refusedTitle)
    : hook_(SetWindowsHookExA(WH_CBT, onCbt, nullptr, GetCurrentThreadId())),
      refusedClass_(refusedClass ? refusedClass : ""),
      refusedTitle_(refusedTitle ? refusedTitle : "") {
    activeLog = this;
}

WindowLog::~WindowLog() {
    UnhookWindowsHookEx(hook_);
    activeLog = nullptr;
}

int WindowLog::count(const std::string& className) const {
    return static_cast<int>(std::count(created_.begin(), created_.end(), className));
}

std::vector<std::string> WindowLog::createdOf(const std::vector<std::string>& classNames) const {
    std::vector<std::string> wanted;
    for (const std::string& name : created_)
        if (std::find(classNames.begin(), classNames.end(), name) != classNames.end())
            wanted.push_back(name);
    return wanted;
}

LRESULT CALLBACK WindowLog::onCbt(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && activeLog) {
        const CREATESTRUCTA& create = *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        const std::string name = classOf(create);
        const bool titled = create.lpszName && !IS_INTRESOURCE(create.lpszName);
        if ((!activeLog->refusedClass_.empty() && name == activeLog->refusedClass_) ||
            (titled && !activeLog->refusedTitle_.empty() &&
             activeLog->refusedTitle_ == create.lpszName))
            return 1;
        activeLog->created_.push_back(name);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
