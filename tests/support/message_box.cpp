#include "support/message_box.h"

#include "support/windows.h"

#include <algorithm>

namespace {

constexpr char dialogClass[] = "#32770";
constexpr int messageTextId = 0xFFFF;

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
    : captions_(std::move(captions)), answer_(answer),
      watcher_(dialogClass, [this](HWND box) { return this->answer(box); }) {}

std::vector<SeenMessageBox> MessageBoxWatcher::seen() const {
    std::lock_guard guard(lock_);
    return seen_;
}

bool MessageBoxWatcher::answer(HWND box) {
    SeenMessageBox seen;
    seen.caption = windowText(box);
    if (std::find(captions_.begin(), captions_.end(), seen.caption) == captions_.end())
        return false;
    char text[512] = {};
    GetDlgItemTextA(box, messageTextId, text, sizeof(text));
    seen.text = text;
    EnumChildWindows(box, describeChild, reinterpret_cast<LPARAM>(&seen));
    {
        std::lock_guard guard(lock_);
        seen_.push_back(seen);
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED), 0);
    return true;
}

testing::AssertionResult answeredOneBox(const MessageBoxWatcher& watcher, const std::string& text,
                                        const BoxButtons& buttons, LPCSTR standardIcon) {
    const std::vector<SeenMessageBox> boxes = watcher.seen();
    if (boxes.size() != 1)
        return testing::AssertionFailure() << boxes.size() << " boxes answered, not one";
    const SeenMessageBox& box = boxes.front();
    if (box.text != text)
        return testing::AssertionFailure() << "the box said \"" << box.text << "\"";
    if (!buttons.empty() && box.buttons != buttons) {
        testing::AssertionResult failure = testing::AssertionFailure();
        failure << "the box had the buttons";
        for (const auto& [id, label] : box.buttons)
            failure << " " << id << " \"" << label << "\"";
        return failure;
    }
    if (standardIcon && box.icon != LoadIconA(nullptr, standardIcon))
        return testing::AssertionFailure() << "the box showed another icon";
    return testing::AssertionSuccess();
}

std::string defaultMessageBoxCaption() {
    // The system's own caption for a box without one is the localized "Error".
    return "Error";
}
