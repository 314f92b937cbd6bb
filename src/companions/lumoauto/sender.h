#pragma once
// Sends the commands to the controller on a thread of its own, in an apartment of its own, so that
// a controller that starts slowly or hangs never holds up the watching. Only the latest command
// waits: one that a newer one replaces before it went out is dropped. Each outcome is posted to a
// window as message(lParam: a new Sent, which the window takes over), with the reason that made
// its command go out.

#include "client/controller_client.h"
#include "common/handle.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

struct Sent {
    short command;
    // What made it go out: "Game.exe started".
    std::wstring reason;
    SendOutcome outcome;
};

class Sender {
  public:
    using SendFunction = std::function<SendOutcome(short command)>;

    // send makes the call; the controller's automation class unless given.
    Sender(HWND window, UINT message, SendFunction send = {});
    // Waits a little for a call under way; a hung controller does not hold up the end. The thread
    // left behind owns what it still touches and posts nothing more.
    ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    // False when the thread that sends did not start: nothing will go out.
    bool send(short command, const std::wstring& reason);

  private:
    struct Shared;
    static DWORD WINAPI run(void* shared);

    std::shared_ptr<Shared> shared_;
    Handle thread_;
};
