#pragma once
// Watches, from a thread of its own, for the visible top-level windows of one class that this
// process shows (message boxes, pop-up menus) and hands each new one to a handler, so the code
// under test can be answered while it sits in its modal loop.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class WindowWatcher {
  public:
    // handle(window) answers the window and says whether it did; a window it answered is not
    // handed again while it stays open, one it passed over is handed again on the next look.
    WindowWatcher(std::string windowClass, std::function<bool(HWND)> handle);
    ~WindowWatcher();
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

  private:
    void watch();

    std::string windowClass_;
    std::function<bool(HWND)> handle_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
