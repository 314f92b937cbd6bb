#pragma once
// An open registry key that closes itself.

#include <windows.h>

class RegistryKey {
  public:
    RegistryKey() = default;
    ~RegistryKey() { close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens an existing key; true on success.
    bool open(HKEY parent, const char* path, REGSAM access) {
        close();
        return RegOpenKeyExA(parent, path, 0, access, &handle_) == ERROR_SUCCESS;
    }

    // Opens or creates a non-volatile key; true on success. disposition may be null.
    bool create(HKEY parent, const char* path, REGSAM access, DWORD* disposition = nullptr) {
        close();
        char emptyClass[] = "";
        return RegCreateKeyExA(parent, path, 0, emptyClass, REG_OPTION_NON_VOLATILE, access,
                               nullptr, &handle_, disposition) == ERROR_SUCCESS;
    }

    void close() {
        if (handle_)
            RegCloseKey(handle_);
        handle_ = nullptr;
    }

    HKEY get() const { return handle_; }

  private:
    HKEY handle_ = nullptr;
};
