#pragma once
// The controller's three global hot-keys.

#include <windows.h>

#include <array>
#include <cstdint>

constexpr int hotKey1Id = 30003;
constexpr int hotKey2Id = 30002;
constexpr int hotKey3Id = 30001;
// Runs only while a chord that acted is held.
constexpr UINT_PTR heldChordTimerId = 50005;

struct HotKeyArguments {
    UINT modifiers;
    UINT virtualKey;
};

// A hot-key control value (low byte the virtual key, HOTKEYF_ flags above it) as the arguments
// of RegisterHotKey; every other bit, HOTKEYF_EXT among them, is dropped.
HotKeyArguments convertHotKey(int32_t value);

// Registers a hot-key on the window, first withdrawing an earlier registration of the same id so
// that the old combination does not stay active beside the new one; with MOD_NOREPEAT where the
// system takes it. True on success.
bool registerHotKey(HWND window, int id, int32_t value);

// Whether a WM_HOTKEY (its id and chord) is a keyboard repeat of a chord that acted and has not
// been released since: Vista and Wine ignore MOD_NOREPEAT. A chord that acts is remembered, and
// the timer heldChordTimerId on the window runs until every remembered chord is released.
bool isRepeatOfHeldChord(HWND window, int id, LPARAM chord);

// On heldChordTimerId: forgets the chords whose keys are up, and ends the timer with the last.
void forgetReleasedChords(HWND window);

// Registers hotKey1 to hotKey3 of the state; a failure leaves lastError ErrorRegisterHotKey1,
// ErrorRegisterHotKey2 or ErrorRegisterHotKey3.
void registerControllerHotKeys(HWND window);

// hotKey1 to hotKey3 of the state, in that order.
using HotKeyValues = std::array<int32_t, 3>;
HotKeyValues controllerHotKeyValues();

// Withdraws the three registrations: while the Properties dialog is open the hot-keys do nothing,
// and a chord that is registered never reaches the dialog's hot-key controls.
void withdrawControllerHotKeys(HWND window);

// After an edit of the state's hot-keys, with all three withdrawn: registers them again, so that
// chords can move between them; one whose new chord cannot be registered (another program holds
// it) gets its previous chord back, so that it keeps working. Failures are silent.
void reregisterControllerHotKeys(HWND window, const HotKeyValues& previous);
