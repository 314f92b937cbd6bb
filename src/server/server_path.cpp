#include "server/server_path.h"

namespace {

constexpr wchar_t blank = L' ';
constexpr wchar_t doubleQuote = L'"';
constexpr char singleQuote = '\'';

} // namespace

HRESULT serverPathOf(HMODULE module, ServerPath& server) {
    wchar_t fullPath[MAX_PATH];
    const DWORD fullLength = GetModuleFileNameW(module, fullPath, MAX_PATH);
    if (fullLength == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    // A path that filled the buffer has been cut: registering it would name another file.
    if (fullLength >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    wchar_t shortPath[MAX_PATH];
    const DWORD shortLength = GetShortPathNameW(fullPath, shortPath, MAX_PATH);
    if (shortLength >= MAX_PATH)
        return E_OUTOFMEMORY;
    // Without short names (a failure, often with the invalid-parameter error) the full path.
    server.path = shortLength == 0 ? fullPath : shortPath;
    server.command = server.path.find(blank) == std::wstring::npos
                         ? server.path
                         : doubleQuote + server.path + doubleQuote;
    return S_OK;
}

std::string doubleSingleQuotes(const std::string& text) {
    std::string doubled;
    for (char c : text) {
        doubled += c;
        if (c == singleQuote)
            doubled += singleQuote;
    }
    return doubled;
}
