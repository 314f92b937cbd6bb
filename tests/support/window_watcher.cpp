#include "support/window_watcher.h"

#include "support/windows.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD watchIntervalMs = 10;

} // namespace

WindowWatcher::WindowWatcher(std::string windowClass, std::function<bool(HWND)> handle)
    : windowClass_(std::move(windowClass)), handle_(std::move(handle)),
      thread_([this] { watch(); }) {}

WindowWatcher::~WindowWatcher() {
    stopping_ = true;
    thread_.join();
}

void WindowWatcher::watch() {
    std::vector<HWND> answered;
    while (!stopping_) {
        std::vector<HWND> stillOpen;
        for (HWND window : visibleWindowsOf(GetCurrentProcessId(), windowClass_.c_str()))
            if (std::find(answered.begin(), answered.end(), window) != answered.end() ||
                handle_(window))
                stillOpen.push_back(window);
        answered = std::move(stillOpen);
        Sleep(watchIntervalMs);
    }
}
