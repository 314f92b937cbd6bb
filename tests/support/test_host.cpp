#include "support/test_host.h"

#include <windows.h>

#include <string>

namespace {

constexpr char harnessMark[] = "ZEZIZER_TEST_RUN";

std::wstring objectName(HANDLE object) {
    wchar_t name[256] = L"";
    GetUserObjectInformationW(object, UOI_NAME, name, sizeof(name), nullptr);
    return name;
}

} // namespace

bool underTestHarness() {
    return GetEnvironmentVariableA(harnessMark, nullptr, 0) != 0;
}

bool runsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
        elevation.TokenIsElevated;
    CloseHandle(token);
    return elevated;
}

std::string wineVersion() {
    using WineGetVersion = const char*(CDECL*)();
    auto found = reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"));
    auto get = reinterpret_cast<WineGetVersion>(found);
    return get ? get() : "";
}

bool hasInteractiveDesktop() {
    // Services run in terminal-services id 0, which no user sees.
    DWORD terminalSessionId = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &terminalSessionId) || terminalSessionId == 0)
        return false;
    USEROBJECTFLAGS station{};
    if (!GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &station, sizeof(station),
                                   nullptr) ||
        !(station.dwFlags & WSF_VISIBLE))
        return false;
    HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (!input)
        return false;
    const bool ours = objectName(input) == objectName(GetThreadDesktop(GetCurrentThreadId()));
    CloseDesktop(input);
    return ours;
}
