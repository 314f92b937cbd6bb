#include "support/hot_key_holder.h"

HotKeyHolder::HotKeyHolder()
    : window_(CreateWindowExA(0, "STATIC", "other program", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, nullptr, nullptr)) {}

HotKeyHolder::~HotKeyHolder() {
    for (int id : ids_)
        UnregisterHotKey(window_, id);
    DestroyWindow(window_);
}

bool HotKeyHolder::take(UINT modifiers, UINT key) {
    const int id = static_cast<int>(ids_.size()) + 1;
    if (!RegisterHotKey(window_, id, modifiers, key))
        return false;
    ids_.push_back(id);
    return true;
}

bool combinationFree(UINT modifiers, UINT key) {
    return HotKeyHolder().take(modifiers, key);
}
