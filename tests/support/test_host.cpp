#include "support/test_host.h"

#include <windows.h>

namespace {

constexpr char harnessMark[] = "ZEZIZER_TEST_RUN";

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
