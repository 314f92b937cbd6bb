#pragma once
// A GUI program's arguments as the command prompt split them, without the program's own name.

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

inline std::vector<std::wstring> argumentWords() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> result;
    if (words) {
        result.assign(words + (count > 0 ? 1 : 0), words + count);
        LocalFree(words);
    }
    return result;
}
