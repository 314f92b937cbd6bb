#include "app/command_line.h"

#include <windows.h>

namespace {

constexpr char unregisterSwitch[] = "UnregServer";
constexpr char registerSwitch[] = "RegServer";

bool isSeparator(char c, const char* separators) {
    for (const char* separator = separators; *separator; ++separator)
        if (c == *separator)
            return true;
    return false;
}

} // namespace

const char* findToken(const char* text, const char* separators) {
    for (const char* position = text; *position; position = CharNextA(position))
        if (isSeparator(*position, separators))
            return CharNextA(position);
    return nullptr;
}

RegistrationSwitch findRegistrationSwitch(const char* commandLine) {
    for (const char* token = findToken(commandLine, switchSeparators); token;
         token = findToken(token, switchSeparators)) {
        if (lstrcmpiA(token, unregisterSwitch) == 0)
            return RegistrationSwitch::Unregister;
        if (lstrcmpiA(token, registerSwitch) == 0)
            return RegistrationSwitch::Register;
    }
    return RegistrationSwitch::None;
}
