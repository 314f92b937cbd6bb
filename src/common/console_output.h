#pragma once
// Output of a program without a console of its own: to where its output was sent, or else to the
// console of the command prompt that started it.

#include "common/utf8.h"

#include <windows.h>

#include <string>

inline HANDLE consoleOutputHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE)
        return handle;
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return nullptr;
    handle = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// Writes UTF-8 text to STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
inline void writeConsoleOutput(DWORD which, const std::string& text) {
    HANDLE handle = text.empty() ? nullptr : consoleOutputHandle(which);
    if (!handle)
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widen(text);
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}
