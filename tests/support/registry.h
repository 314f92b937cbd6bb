#pragma once
// Reading and preparing the controller's keys in the real per-user registry of the test prefix.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr char testControllerKey[] = "Software\\Corvane\\Lumo Controller";
inline constexpr char testSettingsKey[] = "Software\\Corvane\\Lumo Controller\\Settings";

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;

    std::optional<uint32_t> dword() const;
};

// Removes HKCU\Software\Corvane with everything below it.
void deleteCorvaneKey();

std::optional<StoredValue> readValue(const char* keyPath, const char* name);
// The number of a REG_DWORD value; nothing when it is missing or of another type.
std::optional<uint32_t> readDword(const char* keyPath, const char* name);
std::vector<std::string> valueNames(const char* keyPath);
bool keyExists(const char* keyPath);

void writeValue(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size);
void writeDword(const char* keyPath, const char* name, uint32_t value);
void writeText(const char* keyPath, const char* name, const std::string& text);
void deleteValue(const char* keyPath, const char* name);
