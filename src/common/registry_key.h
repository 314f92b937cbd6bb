#pragma once
// An open registry key that closes itself, and the value operations the programs share. Each
// operation answers ERROR_SUCCESS or the system's error code.

#include <windows.h>

#include <string>
#include <string_view>

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

    // The value's bytes as given, of the given type.
    LONG setValue(const char* name, DWORD type, const void* data, DWORD size) const {
        return RegSetValueExA(handle_, name, 0, type, static_cast<const BYTE*>(data), size);
    }
    LONG setNumber(const char* name, DWORD number) const {
        return setValue(name, REG_DWORD, &number, sizeof(number));
    }
    // A REG_SZ value: the text and its terminator. A null name is the key's default value.
    LONG setText(const wchar_t* name, std::wstring_view text) const {
        const std::wstring terminated(text);
        return RegSetValueExW(handle_, name, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(terminated.c_str()),
                              static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t)));
    }

    // At most size bytes of the value, whatever its type; size becomes the number read.
    LONG queryValue(const char* name, void* data, DWORD& size) const {
        return RegQueryValueExA(handle_, name, nullptr, nullptr, static_cast<BYTE*>(data), &size);
    }
    // A value of exactly 32 bits, whatever its type; ERROR_INVALID_DATA for any other size.
    LONG queryNumber(const char* name, DWORD& number) const {
        DWORD read = 0;
        DWORD size = sizeof(read);
        const LONG status = queryValue(name, &read, size);
        if (status != ERROR_SUCCESS)
            return status;
        if (size != sizeof(read))
            return ERROR_INVALID_DATA;
        number = read;
        return ERROR_SUCCESS;
    }
    // A REG_SZ value up to its first null (stored text need not end in one, or may hold
    // several); ERROR_INVALID_DATATYPE for a value of another type.
    LONG queryText(const wchar_t* name, std::wstring& text) const {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LONG status = RegQueryValueExW(handle_, name, nullptr, &type, nullptr, &size);
        if (status == ERROR_SUCCESS && type != REG_SZ)
            return ERROR_INVALID_DATATYPE;
        if (status != ERROR_SUCCESS)
            return status;
        std::wstring read(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(read.size() * sizeof(wchar_t));
        status = RegQueryValueExW(handle_, name, nullptr, &type,
                                  reinterpret_cast<BYTE*>(read.data()), &size);
        if (status == ERROR_SUCCESS && type != REG_SZ)
            return ERROR_INVALID_DATATYPE;
        if (status != ERROR_SUCCESS)
            return status;
        read.resize(size / sizeof(wchar_t));
        text = read.substr(0, read.find(L'\0'));
        return ERROR_SUCCESS;
    }

    // The name of the value at the index; ERROR_NO_MORE_ITEMS past the last one.
    LONG valueName(DWORD index, std::wstring& name) const {
        // Registry value names are at most this long.
        constexpr DWORD longestValueName = 16383;
        std::wstring found(longestValueName + 1, L'\0');
        DWORD length = longestValueName + 1;
        const LONG status = RegEnumValueW(handle_, index, found.data(), &length, nullptr, nullptr,
                                          nullptr, nullptr);
        if (status == ERROR_SUCCESS)
            name = found.substr(0, length);
        return status;
    }

    LONG deleteValue(const wchar_t* name) const { return RegDeleteValueW(handle_, name); }
    // The subkey, which must have none of its own, in the registry view given (KEY_WOW64_64KEY,
    // KEY_WOW64_32KEY, or 0 for the program's own).
    LONG deleteKey(const wchar_t* name, REGSAM view = 0) const {
        return RegDeleteKeyExW(handle_, name, view, 0);
    }
    // The subkey with everything below it, in the program's own view.
    LONG deleteTree(const wchar_t* name) const { return RegDeleteTreeW(handle_, name); }

  private:
    HKEY handle_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
};
