#pragma once
// Watches for the listed programs and tells what to send as they come and go: a program's start
// from the first top-level window it makes (or from the list of processes, when it runs already
// as the rules are read), its end from its process handle, however it ends; with a front rule,
// its coming to the front and leaving it from the system's foreground event, and where the system
// sends that event to no other process (Wine), from a look at the foreground window once a second
// while such a program runs. Nothing runs while nothing listed runs.
//
// Lives on the thread of the window given, which runs a message loop: the window hands it the
// waiter's messages for the ids it gave (those from firstProcessId on) and its timers.

#include "lumoauto/rules.h"
#include "lumoauto/switcher.h"
#include "lumoauto/waiter.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The waiter's ids below this are not the watcher's.
inline constexpr WPARAM firstProcessId = 16;

class Watcher {
  public:
    // what happened ("Game.exe started"), and the command to send now, if any.
    using Changed = std::function<void(const std::wstring& what, std::optional<short> command)>;

    Watcher(HWND window, Waiter& waiter, Changed changed);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // Takes the rules (again): programs no longer listed let go, listed ones already running are
    // found. The first call starts the watching.
    void setRules(const std::vector<Rule>& rules);
    void onProcessEnded(WPARAM serial);
    // False for a timer that is not the watcher's.
    bool onTimer(UINT_PTR timer);
    // The number of listed programs running.
    size_t watchedCount() const { return watched_.size(); }

  private:
    struct Watched {
        DWORD processId;
        // The id of its process handle in the waiter: never the same twice.
        WPARAM serial;
        Rule rule;
        std::wstring path;
    };

    static void CALLBACK onWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                    LONG child, DWORD thread, DWORD time);

    void hook();
    void onWindowCreated(HWND window);
    void onForegroundEvent();
    void look(DWORD processId, const wchar_t* how);
    void lookAtRunningProcesses();
    void watch(DWORD processId, HANDLE process, const Rule& rule, const std::wstring& path,
               const wchar_t* how);
    void stopWatching(std::vector<Watched>::iterator watched);
    void takeRule(std::vector<Watched>::iterator watched, const Rule& rule);
    Watched* watchedProcess(DWORD processId);
    void foregroundMoved();
    void samplePolledForeground();
    void updatePolling();
    void tell(const std::wstring& program, const wchar_t* what);

    HWND window_;
    Waiter& waiter_;
    Changed changed_;
    HWINEVENTHOOK createHook_ = nullptr;
    HWINEVENTHOOK foregroundHook_ = nullptr;
    std::vector<Rule> rules_;
    std::vector<Watched> watched_;
    Switcher switcher_;
    WPARAM nextSerial_ = firstProcessId;
    // The process with a front rule that has the front, 0 for none.
    DWORD frontProcess_ = 0;
    bool foregroundEventsCome_ = false;
    bool polling_ = false;
    // The foreground's process at the previous look, when looking once a second.
    DWORD lastLook_ = 0;
};
