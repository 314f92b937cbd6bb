#include "support/popup_menu.h"

namespace {

constexpr char popupMenuClass[] = "#32768";

std::string describeItem(HMENU menu, UINT position) {
    char text[256] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = sizeof(text);
    if (!GetMenuItemInfoA(menu, position, TRUE, &info))
        return "(unreadable)";
    if (info.fType & MFT_SEPARATOR)
        return "---";
    const UINT state = GetMenuState(menu, position, MF_BYPOSITION);
    std::string line = (state & MF_CHECKED) ? "[x] " : "";
    line += text;
    line += " (" + std::to_string(info.wID) + ")";
    if (state & (MF_GRAYED | MF_DISABLED))
        line += " [disabled]";
    if (info.fType != MFT_STRING)
        line += " [type " + std::to_string(info.fType) + "]";
    return line;
}

} // namespace

std::vector<std::string> describeMenu(HMENU menu) {
    std::vector<std::string> lines;
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position)
        lines.push_back(describeItem(menu, static_cast<UINT>(position)));
    return lines;
}

PopupMenuWatcher::PopupMenuWatcher()
    : watcher_(popupMenuClass, [this](HWND menu) { return record(menu); }) {}

std::vector<SeenPopupMenu> PopupMenuWatcher::seen() const {
    std::lock_guard guard(lock_);
    return seen_;
}

bool PopupMenuWatcher::record(HWND menuWindow) {
    // The menu's own loop runs on the thread that shows it; it answers this while it waits.
    auto menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    if (!menu)
        return false;
    SeenPopupMenu seen;
    seen.menu = menu;
    seen.items = describeMenu(menu);
    RECT rect{};
    GetWindowRect(menuWindow, &rect);
    seen.topLeft = {rect.left, rect.top};
    {
        std::lock_guard guard(lock_);
        seen_.push_back(seen);
    }
    PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    return true;
}
