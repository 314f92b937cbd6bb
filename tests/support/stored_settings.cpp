#include "support/stored_settings.h"

namespace {

// Opens (creating when asked) a key under HKEY_CURRENT_USER and closes it again.
class Key {
  public:
    Key(const char* path, bool create) {
        const LONG result = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0,
                                                     KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                                   : RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key_);
        if (result != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

} // namespace

void deleteStoredSettings() {
    RegDeleteTreeA(HKEY_CURRENT_USER, storedControllerKey);
}

std::optional<DWORD> storedNumber(const char* keyPath, const char* name) {
    Key key(keyPath, false);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!key.get() ||
        RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

std::optional<std::string> storedText(const char* keyPath, const char* name) {
    Key key(keyPath, false);
    DWORD type = 0;
    char text[256] = {};
    DWORD size = sizeof(text) - 1;
    if (!key.get() ||
        RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::string(text);
}

void storeNumber(const char* keyPath, const char* name, DWORD value) {
    Key key(keyPath, true);
    RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
}

void storeText(const char* keyPath, const char* name, const std::string& text) {
    Key key(keyPath, true);
    RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}
