#pragma once
// The names by which other programs find the controller, lumoauto and lumoeyes: the controller's
// window class, lumoauto's window class (its Exit is IDC_EXIT in lumoauto/resource.h), the key of
// lumoauto's rules, and the window of a running eye test, which a second one closes. The programs
// themselves, the installer's helpers, the tests, the benchmark and the stress tool use these.

inline constexpr char controllerWindowClass[] = "LUMOCNTLCLASS1";
inline constexpr wchar_t lumoautoWindowClass[] = L"LUMOAUTOCLASS1";
inline constexpr wchar_t rulesKeyPath[] = L"Software\\Corvane\\Lumo Controller\\Programs";
inline constexpr wchar_t lumoeyesWindowClass[] = L"LUMOEYESCLASS1";
