#pragma once
// Replaces one entry of this executable's import table for the lifetime of the object, so a test
// can count or fail the program's own calls of a system function (the program's code is linked
// into the test executable) while every other caller and the system itself stay untouched.

#include <windows.h>

class ImportPatch {
  public:
    ImportPatch(const char* dllName, const char* functionName, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool active() const { return slot_ != nullptr; }
    // The function the table held before: call it to pass a call through.
    void* original() const { return original_; }

  private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
