#pragma once
// The controller's settings as the registry holds them, read and written directly, so tests see
// what a later start of the program (or another tool) would see.

#include <windows.h>

#include <optional>
#include <string>

inline constexpr char storedControllerKey[] = "Software\\Corvane\\Lumo Controller";
inline constexpr char storedSettingsKey[] = "Software\\Corvane\\Lumo Controller\\Settings";

// Removes both keys with everything in them.
void deleteStoredSettings();

std::optional<DWORD> storedNumber(const char* keyPath, const char* name);
std::optional<std::string> storedText(const char* keyPath, const char* name);

void storeNumber(const char* keyPath, const char* name, DWORD value);
void storeText(const char* keyPath, const char* name, const std::string& text);
