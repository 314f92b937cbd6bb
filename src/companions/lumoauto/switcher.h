#pragma once
// What to send as listed programs start, end, come to the front and leave it: the command of the
// program that claimed the glasses most recently among those that still claim them; when the last
// one lets go, stereo off, unless its rule keeps stereo on. A command goes out only when the one
// wanted changes, so a program that moves between its own windows, or claims again what it claims
// already, sends nothing.

#include <windows.h>

#include <optional>
#include <vector>

class Switcher {
  public:
    // A listed program started (running rule) or came to the front (front rule).
    void claim(DWORD processId, short command, bool offAfter);
    // It ended or left the front; nothing when it claimed nothing.
    void release(DWORD processId);
    bool claims(DWORD processId) const;
    // The command to send now, when the wanted one changed since the last call.
    std::optional<short> decide();

  private:
    struct Claim {
        DWORD processId;
        short command;
        bool offAfter;
    };
    std::optional<short> wantedNow() const;

    // The most recent last.
    std::vector<Claim> claims_;
    // Whether the claim that let go last, leaving none, asked for stereo off.
    bool lastLetGoWithOff_ = false;
    // What the last decision wanted; nothing: leave the glasses as they are.
    std::optional<short> wanted_;
};
