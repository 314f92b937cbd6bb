#pragma once
// Reading pop-up menus back as a user sees them, and watching for the ones this process shows.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
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
    ~PopupMenuWatcher();
    PopupMenuWatcher(const PopupMenuWatcher&) = delete;
    PopupMenuWatcher& operator=(const PopupMenuWatcher&) = delete;

    std::vector<SeenPopupMenu> seen() const;

  private:
    void watch();
    bool record(HWND menuWindow);

    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    std::vector<SeenPopupMenu> seen_;
    std::thread thread_;
};
