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
        status_ = RegOpenKeyExA(parent, path, 0, access, &handle_);
        return status_ == ERROR_SUCCESS;
    }
    bool open(HKEY parent, const wchar_t* path, REGSAM access) {
        close();
        status_ = RegOpenKeyExW(parent, path, 0, access, &handle_);
        return status_ == ERROR_SUCCESS;
    }

    // Opens or creates a non-volatile key; true on success. disposition may be null.
    bool create(HKEY parent, const char* path, REGSAM access, DWORD* disposition = nullptr) {
        close();
        char emptyClass[] = "";
        status_ = RegCreateKeyExA(parent, path, 0, emptyClass, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &handle_, disposition);
        return status_ == ERROR_SUCCESS;
    }
    bool create(HKEY parent, const wchar_t* path, REGSAM access) {
        close();
        status_ = RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &handle_, nullptr);
        return status_ == ERROR_SUCCESS;
    }

    void close() {
        if (handle_)
            RegCloseKey(handle_);
        handle_ = nullptr;
    }

    HKEY get() const { return handle_; }
    // The system's answer to the last open or create.
    LONG status() const { return status_; }

  private:
    HKEY handle_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
};
