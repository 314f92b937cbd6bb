#pragma once
// Global hot-keys as another program sees them: a window of its own that takes combinations, and
// whether a combination is free.

#include <windows.h>

#include <vector>

// A window of "another program" that holds the combinations it took while it lives.
class HotKeyHolder {
  public:
    HotKeyHolder();
    ~HotKeyHolder();
    HotKeyHolder(const HotKeyHolder&) = delete;
    HotKeyHolder& operator=(const HotKeyHolder&) = delete;

    bool take(UINT modifiers, UINT key);

  private:
    HWND window_;
    std::vector<int> ids_;
};

// Whether no window holds the combination now: another one can take it.
bool combinationFree(UINT modifiers, UINT key);
