#pragma once
// Watches, from a thread of its own, for message boxes that this process shows; records what each
// one says and answers it as a user would, so the code under test can go on past its modal loop.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct SeenMessageBox {
    std::string caption;
    std::string text;
    std::vector<std::pair<int, std::string>> buttons; // id and text of each visible button
    HICON icon = nullptr;
};

class MessageBoxWatcher {
  public:
    // Watches for boxes with one of the captions and answers each with the given button id.
    MessageBoxWatcher(std::vector<std::string> captions, int answer);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<SeenMessageBox> seen() const;

  private:
    void watch();
    void answer(HWND box);

    std::vector<std::string> captions_;
    int answer_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    std::vector<SeenMessageBox> seen_;
    std::set<HWND> answered_;
    std::thread thread_;
};

// The standard caption of a message box shown without one of its own.
std::string defaultMessageBoxCaption();
