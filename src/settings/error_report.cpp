#include "settings/error_report.h"

#include "code/controller_state.h"

#include <windows.h>

#include <array>

namespace {

constexpr int messageBufferSize = 128;
// The box has no owner and may come from a program in the background while a full-screen game
// runs and a client waits on the call that failed: it must come to the top, not just flash a
// taskbar button.
constexpr UINT errorBoxStyle = MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST | MB_SETFOREGROUND;

// Indexed by code; the codes without a message of their own (8 and 20) show the unknown text.
constexpr std::array<const char*, 43> messages{
    nullptr,
    "Cannot write to Controller Subkey in registry.",
    "Cannot write to Controller Settings Subkey in registry.",
    "Cannot write to Active value in registry.",
    "Cannot write to Reverse value in registry.",
    "Cannot write to Tested value in registry.",
    "Cannot write to Version value in registry.",
    "Cannot write to Hardware value in registry.",
    unknownErrorText,
    "Cannot write to Mode value in registry.",
    "Cannot write to Hot-Key 1 value in registry.",
    "Cannot write to Hot-Key 2 value in registry.",
    "Cannot write to Hot-Key 3 value in registry.",
    "Cannot read Controller Subkey in registry.",
    "Cannot read Controller Settings Subkey in registry.",
    "Cannot read Active value in registry.",
    "Cannot read Reverse value in registry.",
    "Cannot read Tested value in registry.",
    "Cannot read Version value in registry.",
    "Cannot read Hardware value in registry.",
    unknownErrorText,
    "Cannot read Mode value in registry.",
    "Cannot read Hot-Key 1 value in registry.",
    "Cannot read Hot-Key 2 value in registry.",
    "Cannot read Hot-Key 3 value in registry.",
    "Cannot register Lumo Code Window class.",
    "Cannot create Lumo Code Window.",
    "Cannot register Test Window class.",
    "Cannot create Test Window.",
    "Cannot register Main Window class.",
    "Cannot create Main Window.",
    "Cannot register On/Off Window class.",
    "Cannot create On/Off Window.",
    "Cannot create About Dialog.",
    "Cannot create Properties Dialog.",
    "Cannot create Test Dialog.",
    "Cannot create Taskbar Icon.",
    "Unable to register Hot-Key 1.",
    "Unable to register Hot-Key 2.",
    "Unable to register Hot-Key 3.",
    "Cannot unregister Hot-Key 1.",
    "Cannot unregister Hot-Key 2.",
    "Cannot unregister Hot-Key 3.",
};

} // namespace

const char* errorMessage(int32_t code) {
    if (code > 0 && static_cast<size_t>(code) < messages.size())
        return messages[static_cast<size_t>(code)];
    return unknownErrorText;
}

void reportError(int32_t code, const char* text) {
    const char* chosen = (code == 0 && text) ? text : errorMessage(code);
    char buffer[messageBufferSize];
    lstrcpynA(buffer, chosen, messageBufferSize);
    MessageBoxA(nullptr, buffer, errorCaption, errorBoxStyle);
    controller.lastError = 0;
}
