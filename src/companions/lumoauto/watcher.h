#pragma once
// Watches for the listed programs and tells what to send as they come and go: a program's start
// from the first top-level window it makes (or from the list of processes, when it runs already
// as the rules are read), its end from its process handle, however it ends; with a front rule,
// its coming to the front and leaving it from the system's foreground event, and where the system
// sends that event to no other process (Wine), from a look at the foreground window once a second
// while such a program runs. Nothing runs while nothing listed runs, and nothing is hooked while
// nothing is listed. The decisions are Watching's.
//
// Lives on the thread of the window given, which runs a message loop: the window hands it the
// waiter's messages for the ids it gave (those from firstProcessId on) and its timers.

#include "lumoauto/waiter.h"
#include "lumoauto/watching.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class Watcher {
  public:
    // what happened ("Game.exe started"), and the command to send now, if any.
    using Changed = std::function<void(const std::wstring& what, std::optional<short> command)>;

    // The system's window events: set while a rule exists; refused when the system would not set
    // them, so that no start is seen.
    enum class Hooks { Off, On, Refused };

    Watcher(HWND window, Waiter& waiter, Changed changed);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // Takes the rules (again): programs no longer listed let go, listed ones already running are
    // found.
    void setRules(const std::vector<Rule>& rules);
    void onProcessEnded(WPARAM serial);
    // False for a timer that is not the watcher's.
    bool onTimer(UINT_PTR timer);
    Hooks hooks() const { return hooks_; }
    // The number of listed programs running.
    size_t watchedCount() const { return watching_.watchedCount(); }

  private:
    static void CALLBACK onWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                    LONG child, DWORD thread, DWORD time);

    void updateHooks();
    void unhook();
    void onWindowCreated(HWND window);
    void onForegroundEvent();
    void look(DWORD processId, const wchar_t* how);
    void lookAtRunningProcesses();
    void samplePolledForeground();
    void updatePolling();
    void tellAll();

    HWND window_;
    Waiter& waiter_;
    Changed changed_;
    Watching watching_;
    Hooks hooks_ = Hooks::Off;
    HWINEVENTHOOK createHook_ = nullptr;
    HWINEVENTHOOK foregroundHook_ = nullptr;
    bool foregroundEventsCome_ = false;
    bool polling_ = false;
    // The foreground's process at the previous look, when looking once a second.
    DWORD lastLook_ = 0;
};
