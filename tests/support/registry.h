#pragma once
// Reading and preparing the real registry of the test prefix: the controller's keys in the
// per-user part, and whatever a program left under any root.

#include "code/controller_state.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

inline constexpr char testControllerKey[] = "Software\\Corvane\\Lumo Controller";
inline constexpr char testSettingsKey[] = "Software\\Corvane\\Lumo Controller\\Settings";

// A value of the controller's keys with the error code that a failed write or read of it leaves.
struct StoredField {
    const char* key;
    const char* name;
    int32_t ControllerState::*field; // null for "Version"
    int32_t writeFailure;
    int32_t readFailure;
};

// The values in the order the program writes and reads them.
inline const std::vector<StoredField> storedFields{
    {testControllerKey, "Active", &ControllerState::active, 3, 15},
    {testControllerKey, "Reverse", &ControllerState::reverse, 4, 16},
    {testControllerKey, "Tested", &ControllerState::tested, 5, 17},
    {testControllerKey, "Version", nullptr, 6, 18},
    {testSettingsKey, "Hardware", &ControllerState::hardware, 7, 19},
    {testSettingsKey, "Mode", &ControllerState::mode, 9, 21},
    {testSettingsKey, "LCD Mode", &ControllerState::lcdMode, 8, 20},
    {testSettingsKey, "Hot-Key 1", &ControllerState::hotKey1, 10, 22},
    {testSettingsKey, "Hot-Key 2", &ControllerState::hotKey2, 11, 23},
    {testSettingsKey, "Hot-Key 3", &ControllerState::hotKey3, 12, 24},
};

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

// The values of one key by name ("" for the default value); texts as they are, other types as
// "<type N>".
using RegistryValues = std::map<std::string, std::string>;
// A key and every key below it by path relative to it ("" for the key itself).
using RegistryTree = std::map<std::string, RegistryValues>;

RegistryTree readRegistryTree(HKEY root, const std::string& path);
bool registryKeyExists(HKEY root, const std::string& path);
std::optional<std::string> registryText(HKEY root, const std::string& path,
                                        const std::string& name = "");
// The number of a REG_DWORD value, or nothing.
std::optional<DWORD> registryNumber(HKEY root, const std::string& path, const std::string& name);
