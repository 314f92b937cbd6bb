#pragma once
// Records, in order, the classes of the windows this thread creates, and can refuse one class,
// through a CBT hook: how a test sees which code windows and message boxes appeared, and in which
// order, or makes a window's creation fail for real.

#include <windows.h>

#include <string>
#include <vector>

class WindowLog {
  public:
    // refusedClass: windows of this class fail to be created; null refuses none.
    explicit WindowLog(const char* refusedClass = nullptr);
    ~WindowLog();
    WindowLog(const WindowLog&) = delete;
    WindowLog& operator=(const WindowLog&) = delete;

    const std::vector<std::string>& created() const { return created_; }
    int count(const std::string& className) const;
    // The created windows of the given classes only, in the order they were created.
    std::vector<std::string> createdOf(const std::vector<std::string>& classNames) const;

  private:
    static LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam);

    HHOOK hook_;
    std::string refused_;
    std::vector<std::string> created_;
};

inline constexpr char messageBoxClass[] = "#32770";
