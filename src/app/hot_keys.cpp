#include "app/hot_keys.h"

#include "code/controller_state.h"
#include "settings/error_codes.h"

#include <commctrl.h>

#include <iterator>

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
    return RegisterHotKey(window, id, arguments.modifiers, arguments.virtualKey) != 0;
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
