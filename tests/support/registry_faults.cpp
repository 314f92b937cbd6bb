#include "support/registry_faults.h"

namespace {

int setValueCalls = 0;
int failingSetValueCall = 0;
void* originalSetValue = nullptr;

LONG WINAPI watchedSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD size) {
    if (++setValueCalls == failingSetValueCall)
        return ERROR_ACCESS_DENIED;
    return reinterpret_cast<decltype(&RegSetValueExA)>(originalSetValue)(key, name, reserved, type,
                                                                         data, size);
}

} // namespace

RegistryWriteWatch::RegistryWriteWatch(int failAt)
    : patch_("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(watchedSetValue)) {
    originalSetValue = patch_.original();
    setValueCalls = 0;
    failingSetValueCall = failAt;
}

int RegistryWriteWatch::calls() const {
    return setValueCalls;
}
