#pragma once
// Sends the commands to the controller on a thread of its own, in an apartment of its own, so that
// a controller that starts slowly or hangs never holds up the watching. Only the latest command
// waits: one that a newer one replaces before it went out is dropped. Each outcome is posted to a
// window as message(wParam: the command, lParam: the SendOutcome).

#include <windows.h>

#include <optional>

class Sender {
  public:
    Sender(HWND window, UINT message);
    // Waits a little for a call under way; a hung controller does not hold up the end.
    ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    void send(short command);

  private:
    static DWORD WINAPI run(void* self);
    void work();

    HWND window_;
    UINT message_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::optional<short> waiting_;
    bool stopping_ = false;
    HANDLE thread_ = nullptr;
};
