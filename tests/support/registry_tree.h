#pragma once
// Reading back what a program left in the registry.

#include <windows.h>

#include <map>
#include <optional>
#include <string>

// The values of one key by name ("" for the default value); texts as they are, other types as
// "<type N>".
using RegistryValues = std::map<std::string, std::string>;
// A key and every key below it by path relative to it ("" for the key itself).
using RegistryTree = std::map<std::string, RegistryValues>;

RegistryTree readRegistryTree(HKEY root, const std::string& path);
bool registryKeyExists(HKEY root, const std::string& path);
std::optional<std::string> registryText(HKEY root, const std::string& path,
                                        const std::string& name = "");
// The 32-bit value, or nothing.
std::optional<DWORD> registryNumber(HKEY root, const std::string& path, const std::string& name);
