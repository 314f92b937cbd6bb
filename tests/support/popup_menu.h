#pragma once
// Reading pop-up menus back as a user sees them, and watching for the ones this process shows.

#include "support/window_watcher.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

// One line a menu item: "---" for a separator, else "Text (id)", with "[x] " in front of a
// checked item and " [disabled]" behind an item that cannot be chosen.
std::vector<std::string> describeMenu(HMENU menu);

struct SeenPopupMenu {
    HMENU menu = nullptr;
    std::vector<std::string> items;
    POINT topLeft{};
};

// Watches, from a thread of its own, for pop-up menus that this process shows; records each and
// closes it with Escape, so the code that shows it returns from its modal loop.
class PopupMenuWatcher {
  public:
    PopupMenuWatcher();

    std::vector<SeenPopupMenu> seen() const;

  private:
    bool record(HWND menuWindow);

    mutable std::mutex lock_;
    std::vector<SeenPopupMenu> seen_;
    WindowWatcher watcher_; // last: it stops first
};
