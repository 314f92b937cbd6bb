#pragma once
// What RegServer and UnregServer do to the registry: the registry scripts of the executable and
// the type library that it holds.

#include "server/registry_script.h"

#include <windows.h>

// Runs the "REGISTRY" resource with the id from the server module's executable. "%MODULE%"
// stands for the server path as a command (LocalServer32), "%MODULE_RAW%" for the bare path.
HRESULT applyRegistryScript(int resourceId, ScriptMode mode);

// Registers every class of the module and then the type library; the first failure, else S_OK.
HRESULT registerServer();

// Removes every class of the module and the type library; nothing of that is reported.
HRESULT unregisterServer();

// The type library of the executable (resource 1, or a ".tlb" file beside it).
HRESULT registerTypeLibrary();
void unregisterTypeLibrary();
