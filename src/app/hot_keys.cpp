#include "app/hot_keys.h"

#include "code/controller_state.h"
#include "settings/error_codes.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr int32_t virtualKeyMask = 0xFF;
constexpr int controlFlagsShift = 8;

struct ControllerHotKey {
    int32_t ControllerState::*value;
    int id;
    ErrorCode failure;
};

constexpr ControllerHotKey controllerHotKeys[] = {
    {&ControllerState::hotKey1, hotKey1Id, ErrorRegisterHotKey1},
    {&ControllerState::hotKey2, hotKey2Id, ErrorRegisterHotKey2},
    {&ControllerState::hotKey3, hotKey3Id, ErrorRegisterHotKey3},
};

// Only while a chord is held: how often its keys are looked at.
constexpr UINT heldChordCheckMs = USER_TIMER_MINIMUM;

// A chord that acted and has not been seen released since: its keyboard repeats do nothing.
struct HeldChord {
    int id;
    UINT modifiers;
    UINT virtualKey;
    // Checks in a row that found the chord up.
    int upChecks = 0;
};

// A keyboard repeat may come as a release and a press (the X server's do): a chord is released
// only once it has been up on this many checks in a row.
constexpr int releasedAfterUpChecks = 2;

// Touched on the user-interface thread only.
std::vector<HeldChord> heldChords;

bool keyDown(int virtualKey) {
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

bool chordDown(const HeldChord& chord) {
    return keyDown(static_cast<int>(chord.virtualKey)) &&
           (!(chord.modifiers & MOD_CONTROL) || keyDown(VK_CONTROL)) &&
           (!(chord.modifiers & MOD_SHIFT) || keyDown(VK_SHIFT)) &&
           (!(chord.modifiers & MOD_ALT) || keyDown(VK_MENU)) &&
           (!(chord.modifiers & MOD_WIN) || keyDown(VK_LWIN) || keyDown(VK_RWIN));
}

} // namespace

HotKeyArguments convertHotKey(int32_t value) {
    const int32_t flags = value >> controlFlagsShift;
    UINT modifiers = 0;
    if (flags & HOTKEYF_SHIFT)
        modifiers |= MOD_SHIFT;
    if (flags & HOTKEYF_CONTROL)
        modifiers |= MOD_CONTROL;
    if (flags & HOTKEYF_ALT)
        modifiers |= MOD_ALT;
    return {modifiers, static_cast<UINT>(value & virtualKeyMask)};
}

bool registerHotKey(HWND window, int id, int32_t value) {
    UnregisterHotKey(window, id);
    const HotKeyArguments arguments = convertHotKey(value);
    // Keyboard repeats of a held chord bring no WM_HOTKEY (Windows 7 on); a system that refuses
    // the flag takes the chord without it.
    return RegisterHotKey(window, id, arguments.modifiers | MOD_NOREPEAT, arguments.virtualKey) ||
           RegisterHotKey(window, id, arguments.modifiers, arguments.virtualKey);
}

bool isRepeatOfHeldChord(HWND window, int id, LPARAM chord) {
    const auto held = std::find_if(heldChords.begin(), heldChords.end(),
                                   [id](const HeldChord& c) { return c.id == id; });
    // Keys already up: a press that came and went before its message was read, or a message
    // another program posted; either acts.
    if (held != heldChords.end() && chordDown(*held))
        return true;
    if (held == heldChords.end())
        heldChords.push_back({id, LOWORD(chord), HIWORD(chord)});
    else
        *held = {id, LOWORD(chord), HIWORD(chord)};
    SetTimer(window, heldChordTimerId, heldChordCheckMs, nullptr);
    return false;
}

void forgetReleasedChords(HWND window) {
    for (HeldChord& chord : heldChords)
        chord.upChecks = chordDown(chord) ? 0 : chord.upChecks + 1;
    std::erase_if(heldChords,
                  [](const HeldChord& chord) { return chord.upChecks >= releasedAfterUpChecks; });
    if (heldChords.empty())
        KillTimer(window, heldChordTimerId);
}

void registerControllerHotKeys(HWND window) {
    for (const ControllerHotKey& hotKey : controllerHotKeys)
        if (!registerHotKey(window, hotKey.id, controller.*hotKey.value))
            controller.lastError = hotKey.failure;
}

HotKeyValues controllerHotKeyValues() {
    HotKeyValues values{};
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = controller.*controllerHotKeys[i].value;
    return values;
}

void withdrawControllerHotKeys(HWND window) {
    for (const ControllerHotKey& hotKey : controllerHotKeys)
        UnregisterHotKey(window, hotKey.id);
}

void reregisterControllerHotKeys(HWND window, const HotKeyValues& previous) {
    static_assert(std::size(controllerHotKeys) == std::tuple_size_v<HotKeyValues>);
    withdrawControllerHotKeys(window);
    bool registered[std::size(controllerHotKeys)] = {};
    for (size_t i = 0; i < std::size(controllerHotKeys); ++i)
        registered[i] =
            registerHotKey(window, controllerHotKeys[i].id, controller.*controllerHotKeys[i].value);
    // Only once every new chord is taken: a previous chord may have moved to another hot-key.
    for (size_t i = 0; i < std::size(controllerHotKeys); ++i)
        if (!registered[i])
            registerHotKey(window, controllerHotKeys[i].id, previous[i]);
}
