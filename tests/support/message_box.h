#pragma once
// Watches, from a thread of its own, for message boxes that this process shows; records what each
// one says and answers it as a user would, so the code under test can go on past its modal loop.

#include "support/window_watcher.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

// The id and text of each visible button of a box.
using BoxButtons = std::vector<std::pair<int, std::string>>;
inline const BoxButtons okButton{{IDOK, "OK"}};
inline const BoxButtons yesNoButtons{{IDYES, "&Yes"}, {IDNO, "&No"}};

struct SeenMessageBox {
    std::string caption;
    std::string text;
    BoxButtons buttons;
    HICON icon = nullptr;
};

class MessageBoxWatcher {
  public:
    // Watches for boxes with one of the captions and answers each with the given button id.
    MessageBoxWatcher(std::vector<std::string> captions, int answer);

    std::vector<SeenMessageBox> seen() const;

  private:
    bool answer(HWND box);

    std::vector<std::string> captions_;
    int answer_;
    mutable std::mutex lock_;
    std::vector<SeenMessageBox> seen_;
    WindowWatcher watcher_; // last: it stops first
};

// Whether the watcher answered exactly one box, saying the text; when buttons or a standard icon
// (IDI_...) are given, with those.
testing::AssertionResult answeredOneBox(const MessageBoxWatcher& watcher, const std::string& text,
                                        const BoxButtons& buttons = {},
                                        LPCSTR standardIcon = nullptr);

// The standard caption of a message box shown without one of its own.
std::string defaultMessageBoxCaption();
