#include "server/server_module.h"

#include "server/lumo_code.h"

ServerModule serverModule;

namespace {

// How long the server must stay unused before the monitor ends the message loop.
constexpr DWORD idleShutdownDelayMs = 5000;

// Waits until the lock count has come down to 0 and stayed there for the shutdown delay, then
// ends the main thread's message loop.
DWORD WINAPI monitorShutdown(void*) {
    for (;;) {
        WaitForSingleObject(serverModule.shutdownEvent, INFINITE);
        DWORD waited;
        do {
            serverModule.activity = false;
            waited = WaitForSingleObject(serverModule.shutdownEvent, idleShutdownDelayMs);
        } while (waited == WAIT_OBJECT_0);
        if (!serverModule.activity && serverModule.lockCount == 0)
            break;
    }
    CloseHandle(serverModule.shutdownEvent);
    PostThreadMessageA(serverModule.mainThreadId, WM_QUIT, 0, 0);
    return 0;
}

} // namespace

void initServerModule(HINSTANCE instance, std::span<ServerClass> classes, const GUID& libraryId) {
    serverModule.instance = instance;
    serverModule.classes = classes;
    serverModule.libraryId = libraryId;
    serverModule.lockCount = 0;
    serverModule.mainThreadId = GetCurrentThreadId();
}

LONG lockServer() {
    return InterlockedIncrement(&serverModule.lockCount);
}

LONG unlockServer() {
    const LONG count = serverModule.lockCount;
    if (count <= 1)
        return count;
    const LONG left = InterlockedDecrement(&serverModule.lockCount);
    if (left == 0) {
        serverModule.activity = true;
        SetEvent(serverModule.shutdownEvent);
    }
    return left;
}

bool startShutdownMonitor() {
    serverModule.shutdownEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!serverModule.shutdownEvent)
        return false;
    HANDLE thread = CreateThread(nullptr, 0, monitorShutdown, nullptr, 0, nullptr);
    if (!thread)
        return false;
    CloseHandle(thread);
    return true;
}

HRESULT registerClassObjects(DWORD context, DWORD flags) {
    for (ServerClass& serverClass : serverModule.classes) {
        const HRESULT result = CoRegisterClassObject(*serverClass.classId, serverClass.classObject,
                                                     context, flags, &serverClass.cookie);
        if (FAILED(result))
            return result;
    }
    return S_OK;
}

HRESULT revokeClassObjects() {
    HRESULT result = S_OK;
    for (ServerClass& serverClass : serverModule.classes) {
        if (!serverClass.cookie)
            continue;
        const HRESULT revoked = CoRevokeClassObject(serverClass.cookie);
        serverClass.cookie = 0;
        if (FAILED(revoked))
            result = revoked;
    }
    return result;
}

void terminateServerModule() {
    releaseLumoCodeTypeInfo();
}
