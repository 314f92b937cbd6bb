#pragma once
// What RegServer and UnregServer (and their PerUser forms) do to the registry: the registry
// scripts of the executable and the type library that it holds.

#include "server/registry_script.h"

#include <windows.h>

// Whose classes the registration goes to. The scripts' "HKCR" is the scope's own classes key,
// opened explicitly: writing through the merged HKEY_CLASSES_ROOT would send a key that the
// user's classes already hold to the user's hive.
enum class RegistrationScope {
    // HKEY_LOCAL_MACHINE\Software\Classes: every user of the machine; needs an administrator.
    Machine,
    // HKEY_CURRENT_USER\Software\Classes: the user alone, whose classes COM consults first.
    User,
};

// Runs the "REGISTRY" resource with the id from the server module's executable. "%MODULE%"
// stands for the server path as a command (LocalServer32), "%MODULE_RAW%" for the bare path.
HRESULT applyRegistryScript(int resourceId, ScriptMode mode,
                            RegistrationScope scope = RegistrationScope::Machine);

// Registers every class of the module and then the type library; the first failure, else S_OK.
HRESULT registerServer(RegistrationScope scope);

// Removes every class of the module and the type library; nothing of that is reported.
HRESULT unregisterServer(RegistrationScope scope);

// The type library of the executable (resource 1, or a ".tlb" file beside it).
HRESULT registerTypeLibrary(RegistrationScope scope = RegistrationScope::Machine);
void unregisterTypeLibrary(RegistrationScope scope = RegistrationScope::Machine);
