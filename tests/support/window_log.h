#pragma once
// Records, in order, the classes of the windows this thread creates, and can refuse the windows
// of one class or one title, through a CBT hook: how a test sees which code windows and message
// boxes appeared, and in which order, or makes a window's creation fail for real. One at a time.

#include <windows.h>

#include <string>
#include <vector>

class WindowLog {
  public:
    // Windows of the refused class or with the refused title fail to be created; null: none.
    explicit WindowLog(const char* refusedClass = nullptr, const char* refusedTitle = nullptr);
    ~WindowLog();
    WindowLog(const WindowLog&) = delete;
    WindowLog& operator=(const WindowLog&) = delete;

    bool active() const { return hook_ != nullptr; }
    const std::vector<std::string>& created() const { return created_; }
    int count(const std::string& className) const;
    // The created windows of the given classes only, in the order they were created.
    std::vector<std::string> createdOf(const std::vector<std::string>& classNames) const;

  private:
    static LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam);

    HHOOK hook_;
    std::string refusedClass_;
    std::string refusedTitle_;
    std::vector<std::string> created_;
};

inline constexpr char messageBoxClass[] = "#32770";

// Makes the creation of windows with the title fail on this thread while it lives.
class WindowRefusal : public WindowLog {
  public:
    explicit WindowRefusal(const char* title) : WindowLog(nullptr, title) {}
};
