#pragma once
// The server's own path as the registry scripts name it.

#include <windows.h>

#include <string>

struct ServerPath {
    // The short form of the executable's path when it can be had, else the full path; in wide
    // text, which holds any name a folder may have.
    std::wstring path;
    // The same as a command for COM to start: in double quotes when it holds a blank, so that
    // "C:\Program Files\..." does not start "C:\Program.exe".
    std::wstring command;
};

// The path of the module; E_OUTOFMEMORY when its short form would not fit in MAX_PATH, and a
// failure code when the module's own path cannot be had whole.
HRESULT serverPathOf(HMODULE module, ServerPath& server);

// The text with every single quote doubled, as the registry scripts' quoted texts want it.
std::string doubleSingleQuotes(const std::string& text);
