#pragma once
// Makes the creation of windows with a given title fail on this thread for the lifetime of the
// object, so a test can see what the program does when one of its dialogs cannot be created.

#include <windows.h>

#include <string>

class WindowRefusal {
  public:
    explicit WindowRefusal(std::string title);
    ~WindowRefusal();
    WindowRefusal(const WindowRefusal&) = delete;
    WindowRefusal& operator=(const WindowRefusal&) = delete;

    bool active() const { return hook_ != nullptr; }

  private:
    HHOOK hook_ = nullptr;
};
