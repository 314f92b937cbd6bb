#include "support/registry.h"

std::optional<uint32_t> StoredValue::dword() const {
    if (bytes.size() != sizeof(uint32_t))
        return std::nullopt;
    uint32_t value = 0;
    memcpy(&value, bytes.data(), sizeof(value));
    return value;
}

void deleteCorvaneKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane");
}

std::optional<StoredValue> readValue(const char* keyPath, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    StoredValue value;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        value.bytes.resize(size);
        result = RegQueryValueExA(key, name, nullptr, &value.type, value.bytes.data(), &size);
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<uint32_t> readDword(const char* keyPath, const char* name) {
    const std::optional<StoredValue> value = readValue(keyPath, name);
    if (!value || value->type != REG_DWORD)
        return std::nullopt;
    return value->dword();
}

std::vector<std::string> valueNames(const char* keyPath) {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

bool keyExists(const char* keyPath) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void writeValue(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void writeDword(const char* keyPath, const char* name, uint32_t value) {
    writeValue(keyPath, name, REG_DWORD, &value, sizeof(value));
}

void writeText(const char* keyPath, const char* name, const std::string& text) {
    writeValue(keyPath, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void deleteValue(const char* keyPath, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}
