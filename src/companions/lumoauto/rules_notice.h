#pragma once
// Tells a window when the stored rules change, whoever changed them (lumoauto --add from a script,
// the window of this program, the registry editor): one posted message a change, no polling.

#include <windows.h>

class RulesNotice {
  public:
    RulesNotice(HWND window, UINT message);
    ~RulesNotice();
    RulesNotice(const RulesNotice&) = delete;
    RulesNotice& operator=(const RulesNotice&) = delete;

    // Asks for the next change; called again after each message. Creates the rules key when it is
    // missing, so that there is one to watch.
    void arm();

  private:
    static void CALLBACK onSignalled(void* self, BOOLEAN timedOut);

    HWND window_;
    UINT message_;
    HANDLE event_ = nullptr;
    HANDLE wait_ = nullptr;
    HKEY key_ = nullptr;
};
