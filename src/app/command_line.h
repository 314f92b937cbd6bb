#pragma once
// The registration switches of the command line behind "-" or "/": "RegServer" and "UnregServer"
// for every user of the machine, "RegServerPerUser" and "UnregServerPerUser" for the user alone.

enum class RegistrationSwitch { None, Register, Unregister, RegisterPerUser, UnregisterPerUser };

inline constexpr char switchSeparators[] = "-/";

// The position just behind the first character of the text that is one of the separators, or
// null when the text ends first. Steps over multi-byte characters whole.
const char* findToken(const char* text, const char* separators);

// The switch whose name (in any case) is the whole rest of the command line behind a separator.
// The command line includes the program's own path; a separator inside it matches nothing.
RegistrationSwitch findRegistrationSwitch(const char* commandLine);
