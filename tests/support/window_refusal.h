#pragma once
// Makes the creation of certain windows fail on this thread for the lifetime of the object, so a
// test can see what the program does when its code window or a dialog cannot be created.

#include <windows.h>

#include <string>

class WindowRefusal {
  public:
    enum class Match { ClassName, Title };

    WindowRefusal(Match match, std::string name);
    ~WindowRefusal();
    WindowRefusal(const WindowRefusal&) = delete;
    WindowRefusal& operator=(const WindowRefusal&) = delete;

    bool active() const { return hook_ != nullptr; }

  private:
    HHOOK hook_ = nullptr;
};
