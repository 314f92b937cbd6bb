#include "support/message_box.h"

#include "support/windows.h"

#include <algorithm>

namespace {

constexpr char dialogClass[] = "#32770";
constexpr int messageTextId = 0xFFFF;
constexpr DWORD watchIntervalMs = 10;

struct BoxSearch {
    DWORD process;
    std::vector<HWND> boxes;
};

BOOL CALLBACK collectDialogs(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window) && className(window) == dialogClass)
        search->boxes.push_back(window);
    return TRUE;
}

BOOL CALLBACK describeChild(HWND child, LPARAM parameter) {
    auto* box = reinterpret_cast<SeenMessageBox*>(parameter);
    const std::string kind = className(child);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (kind == "Button" && (style & WS_VISIBLE))
        box->buttons.emplace_back(GetDlgCtrlID(child), windowText(child));
    else if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON)
        box->icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    return TRUE;
}

} // namespace

MessageBoxWatcher::MessageBoxWatcher(std::vector<std::string> captions, int answer)
    : captions_(std::move(captions)), answer_(answer), thread_([this] { watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stopping_ = true;
    thread_.join();
}

std::vector<SeenMessageBox> MessageBoxWatcher::seen() const {
    std::lock_guard guard(lock_);
    return seen_;
}

void MessageBoxWatcher::watch() {
    while (!stopping_) {
        BoxSearch search{GetCurrentProcessId(), {}};
        EnumWindows(collectDialogs, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes)
            answer(box);
        Sleep(watchIntervalMs);
    }
}

void MessageBoxWatcher::answer(HWND box) {
    const std::string caption = windowText(box);
    if (std::find(captions_.begin(), captions_.end(), caption) == captions_.end())
        return;
    {
        std::lock_guard guard(lock_);
        if (!answered_.insert(box).second)
            return;
    }
    SeenMessageBox seen;
    seen.caption = caption;
    char text[512] = {};
    GetDlgItemTextA(box, messageTextId, text, sizeof(text));
    seen.text = text;
    EnumChildWindows(box, describeChild, reinterpret_cast<LPARAM>(&seen));
    {
        std::lock_guard guard(lock_);
        seen_.push_back(seen);
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED), 0);
}

std::string defaultMessageBoxCaption() {
    // The system's own caption for a box without one is the localized "Error".
    return "Error";
}
