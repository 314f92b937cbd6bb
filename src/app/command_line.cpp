#include "app/command_line.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr char unregisterSwitch[] = "UnregServer";
constexpr char registerSwitch[] = "RegServer";
constexpr char unregisterPerUserSwitch[] = "UnregServerPerUser";
constexpr char registerPerUserSwitch[] = "RegServerPerUser";

const struct {
    const char* name;
    RegistrationSwitch found;
} switches[] = {
    {unregisterSwitch, RegistrationSwitch::Unregister},
    {registerSwitch, RegistrationSwitch::Register},
    {unregisterPerUserSwitch, RegistrationSwitch::UnregisterPerUser},
    {registerPerUserSwitch, RegistrationSwitch::RegisterPerUser},
};

bool isSeparator(char c, const char* separators) {
    for (const char* separator = separators; *separator; ++separator)
        if (c == *separator)
            return true;
    return false;
}

// Only a rest no longer than the longest switch name can match: looking no further keeps a line
// of thousands of separators from costing a whole-line comparison at every one of them.
bool shortEnoughForASwitch(const char* rest) {
    return strnlen(rest, sizeof(unregisterPerUserSwitch)) < sizeof(unregisterPerUserSwitch);
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
        if (!shortEnoughForASwitch(token))
            continue;
        for (const auto& candidate : switches)
            if (lstrcmpiA(token, candidate.name) == 0)
                return candidate.found;
    }
    return RegistrationSwitch::None;
}
