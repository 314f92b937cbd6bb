#pragma once
// An owned library from the system folder only, never one of the same name beside the program;
// freed when the owner goes. For the parts of Windows that an older system lacks, looked up at
// run time.

#include <windows.h>

#include <string>

class SystemLibrary {
  public:
    explicit SystemLibrary(const char* name) {
        char folder[MAX_PATH];
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        if (length && length < MAX_PATH)
            module_ = LoadLibraryA((std::string(folder) + "\\" + name).c_str());
    }
    ~SystemLibrary() {
        if (module_)
            FreeLibrary(module_);
    }
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool loaded() const { return module_ != nullptr; }

    // The function as the given pointer type; nothing when the library or the function is missing.
    template <class Function> Function function(const char* name) const {
        // Through the generic function type, which converts to any other without a warning.
        return module_ ? reinterpret_cast<Function>(
                             reinterpret_cast<void (*)()>(GetProcAddress(module_, name)))
                       : nullptr;
    }

  private:
    HMODULE module_ = nullptr;
};
