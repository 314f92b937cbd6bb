#pragma once
// The watcher's decisions, apart from the system: which running process falls under which rule,
// which one has the front, and what to tell and send as listed programs start, end, come to the
// front and leave it. The watcher feeds it what the system reports and carries out the rest.

#include "lumoauto/rules.h"
#include "lumoauto/switcher.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The waiter's ids below this are not the watcher's.
inline constexpr WPARAM firstProcessId = 16;

class Watching {
  public:
    // What happened ("Game.exe started"), and the command to send now, if any.
    struct Told {
        std::wstring what;
        std::optional<short> command;
    };

    // Takes the rules (again): programs no longer listed let go, those with a changed rule take
    // it. The serials of the processes no longer watched.
    std::vector<WPARAM> setRules(const std::vector<Rule>& rules);
    const std::vector<Rule>& rules() const { return rules_; }
    // Whether a process is worth asking the system about: something is listed, and it is neither
    // watched nor refused already.
    bool worthALook(DWORD processId) const;
    // The serial of the next process watched: never the same twice.
    WPARAM nextSerial() { return nextSerial_++; }
    // A listed process, waited on from now on under the serial.
    void started(DWORD processId, WPARAM serial, const std::wstring& path, const Rule& rule,
                 const wchar_t* how);
    // A listed process that cannot be waited on: told once, and not looked at again until a
    // watched one ends.
    void refused(DWORD processId, const std::wstring& path);
    // A watched process ended; true when the refused ones are to be looked at again.
    bool ended(WPARAM serial);
    // The foreground's process now; 0 (between two windows) changes nothing.
    void frontIs(DWORD processId);
    // Whether a program with a front rule runs.
    bool frontRuleRunning() const;
    size_t watchedCount() const { return watched_.size(); }
    // What was told since the last call, in order.
    std::vector<Told> takeTold();

  private:
    struct Watched {
        DWORD processId;
        WPARAM serial;
        Rule rule;
        std::wstring path;
    };

    Watched* watchedProcess(DWORD processId);
    void letGo(DWORD processId);
    void tell(const std::wstring& path, const wchar_t* what);

    std::vector<Rule> rules_;
    std::vector<Watched> watched_;
    std::vector<DWORD> refused_;
    Switcher switcher_;
    WPARAM nextSerial_ = firstProcessId;
    // The process with a front rule that has the front, 0 for none.
    DWORD frontProcess_ = 0;
    std::vector<Told> told_;
};
