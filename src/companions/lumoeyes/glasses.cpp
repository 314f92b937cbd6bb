#include "lumoeyes/glasses.h"

#include "client/commands.h"
#include "common/registry_key.h"
#include "settings/settings_store.h"

#include <cstdint>

namespace {

int32_t storedNumber(const char* keyPath, const char* name) {
    RegistryKey key;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (!key.open(HKEY_CURRENT_USER, keyPath, KEY_READ) ||
        RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return static_cast<int32_t>(value);
}

short commandValue(const char* name) {
    return commandNamed(name)->value;
}

} // namespace

GlassesState storedGlassesState() {
    GlassesState state;
    state.active = storedNumber(controllerKeyPath, "Active") == 1;
    state.reverse = storedNumber(controllerKeyPath, "Reverse") != 0;
    const int32_t mode = storedNumber(settingsKeyPath, "Mode");
    if (mode == static_cast<int32_t>(ModePageFlip) || mode == static_cast<int32_t>(ModeOverUnder))
        state.mode = static_cast<StereoMode>(mode);
    return state;
}

short stereoOnCommand(StereoMode mode, bool reverse) {
    switch (mode) {
    case ModeInterleaved:
        return commandValue(reverse ? "stereo-reverse" : "stereo-normal");
    case ModePageFlip:
        return commandValue("stereo-resync");
    case ModeOverUnder:
        break;
    }
    return commandValue("stereo-on");
}

short restoringCommand(const GlassesState& before) {
    return before.active ? stereoOnCommand(before.mode, before.reverse) : stereoOffCommand;
}
