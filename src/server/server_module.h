#pragma once
// The automation server's module record: the classes it offers, its lock count and the monitor
// thread that would end the message loop once nothing held the server any more.

#include "server/class_factory.h"

#include <windows.h>

#include <atomic>
#include <span>

// One creatable class of the server.
struct ServerClass {
    const CLSID* classId;
    int registryScript; // resource of type "REGISTRY" that registers the class
    ClassFactory* classObject;
    DWORD cookie; // while the class object is registered
};

struct ServerModule {
    HINSTANCE instance;
    std::span<ServerClass> classes;
    GUID libraryId;
    volatile LONG lockCount;
    HANDLE shutdownEvent;
    std::atomic<bool> activity;
    DWORD mainThreadId;
};

extern ServerModule serverModule;

// Sets the module up for the calling thread, which runs the message loop; lock count 0.
void initServerModule(HINSTANCE instance, std::span<ServerClass> classes, const GUID& libraryId);

// An object was made or a client locked the server: the new count.
LONG lockServer();
// An object went or a client unlocked the server: the new count. Once the server has been used
// the count never falls below 1, so clients leaving never end the controller.
LONG unlockServer();

// Creates the shutdown event and the monitor thread; true when both exist.
bool startShutdownMonitor();

HRESULT registerClassObjects(DWORD context, DWORD flags);
HRESULT revokeClassObjects();

// Lets go of what the module holds from the component runtime, before it is uninitialised.
void terminateServerModule();
