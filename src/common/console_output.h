#pragma once
// Output of a program without a console of its own: to where its output was sent, or else to the
// console of the command prompt that started it; its errors in a message box where it has neither.

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

// Writes UTF-8 text to STD_OUTPUT_HANDLE or STD_ERROR_HANDLE; false when there is nowhere to
// write it.
inline bool writeConsoleOutput(DWORD which, const std::string& text) {
    HANDLE handle = text.empty() ? nullptr : consoleOutputHandle(which);
    if (!handle)
        return false;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widen(text);
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    return true;
}

// An error for the person who started the program, on its console or where its errors were sent.
// A program started from the Start menu or a shortcut has neither: a message box says it there,
// above the owner's window when there is one.
inline void reportError(const std::string& text, HWND owner, const wchar_t* caption) {
    if (!text.empty() && !writeConsoleOutput(STD_ERROR_HANDLE, text))
        MessageBoxW(owner, widen(text).c_str(), caption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}
