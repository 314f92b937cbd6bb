// The server path that registration writes, for paths with blanks, quotes and without short
// names; and COM starting the controller from such a path.

#include "resource.h"
#include "common/com_ptr.h"
#include "server/server_classes.h"
#include "server/server_path.h"
#include "server/server_registration.h"
#include "support/controller_process.h"
#include "support/import_patch.h"
#include "support/registry.h"
#include "support/server_keys.h"
#include "support/test_host.h"
#include "support/wait.h"
#include "zezizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// What the patched system calls answer: the module's path (the real one while empty), and the
// short form (none when empty: a failure with the invalid-parameter error).
std::string modulePath;
std::string shortForm;
DWORD shortFormLength = 0;
void* realGetModuleFileNameA = nullptr;

DWORD WINAPI fakeGetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (modulePath.empty())
        return reinterpret_cast<decltype(&GetModuleFileNameA)>(realGetModuleFileNameA)(
            module, buffer, size);
    lstrcpynA(buffer, modulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(std::min<size_t>(modulePath.size(), size));
}

DWORD WINAPI fakeGetShortPathNameA(LPCSTR, LPSTR buffer, DWORD size) {
    if (shortForm.empty() && !shortFormLength) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (shortFormLength)
        return shortFormLength;
    lstrcpynA(buffer, shortForm.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(shortForm.size());
}

class ServerPathOf : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(moduleName_.active());
        ASSERT_TRUE(shortName_.active());
        realGetModuleFileNameA = moduleName_.original();
        modulePath.clear();
        shortForm.clear();
        shortFormLength = 0;
    }

    static ServerPath pathFor(const std::string& path) {
        modulePath = path;
        ServerPath server;
        EXPECT_EQ(serverPathOf(GetModuleHandleA(nullptr), server), S_OK) << path;
        return server;
    }

    ImportPatch moduleName_{"kernel32.dll", "GetModuleFileNameA",
                            reinterpret_cast<void*>(fakeGetModuleFileNameA)};
    ImportPatch shortName_{"kernel32.dll", "GetShortPathNameA",
                           reinterpret_cast<void*>(fakeGetShortPathNameA)};
};

TEST_F(ServerPathOf, IsTheShortFormWhenTheSystemHasOne) {
    shortForm = "C:\\PROGRA~1\\LUMO\\ZEZIZER.EXE";
    ServerPath server = pathFor("C:\\Program Files\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(server.path, "C:\\PROGRA~1\\LUMO\\ZEZIZER.EXE");
    EXPECT_EQ(server.command, "C:\\PROGRA~1\\LUMO\\ZEZIZER.EXE");
}

TEST_F(ServerPathOf, WithoutShortNamesIsTheLongPathQuotedAsACommandWhenItHoldsABlank) {
    ServerPath spaced = pathFor("C:\\Program Files\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(spaced.path, "C:\\Program Files\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(spaced.command, "\"C:\\Program Files\\Lumo\\ZEZIZER.exe\"");

    ServerPath plain = pathFor("D:\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(plain.path, "D:\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(plain.command, "D:\\Lumo\\ZEZIZER.exe");
}

TEST_F(ServerPathOf, FailsWhenTheShortFormWouldNotFitOrTheModulePathWasCut) {
    ServerPath server;
    modulePath = "C:\\Lumo\\ZEZIZER.exe";
    shortFormLength = MAX_PATH + 12;
    EXPECT_EQ(serverPathOf(GetModuleHandleA(nullptr), server), E_OUTOFMEMORY);
    modulePath = "C:\\" + std::string(MAX_PATH, 'x');
    EXPECT_TRUE(FAILED(serverPathOf(GetModuleHandleA(nullptr), server)));
}

TEST_F(ServerPathOf, IsRegisteredWithItsQuotesIntactAndTheCommandQuotedForLocalServer32) {
    SKIP_UNLESS_ELEVATED();
    initServerModule(GetModuleHandleA(nullptr), serverClasses(), LIBID_ZEZIZERLib);
    modulePath = "C:\\Lumo's Files\\ZEZIZER.exe";
    removeServerKeys();
    EXPECT_EQ(applyRegistryScript(IDR_CLASS_SCRIPT, ScriptMode::Register), S_OK);
    const std::string classKey = std::string("CLSID\\") + classIdText;
    EXPECT_EQ(registryText(HKEY_CLASSES_ROOT, classKey + "\\LocalServer32"),
              std::optional<std::string>("\"C:\\Lumo's Files\\ZEZIZER.exe\""));
    EXPECT_EQ(registryText(HKEY_CLASSES_ROOT, classKey + "\\ToolboxBitmap32"),
              std::optional<std::string>("C:\\Lumo's Files\\ZEZIZER.exe, 101"));
    EXPECT_EQ(applyRegistryScript(IDR_CLASS_SCRIPT, ScriptMode::Unregister), S_OK);
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, classKey));
    removeServerKeys();
}

// A copy of the controller in a folder with a blank, registered under its quoted long path.
class ControllerCopyWithABlank : public ServerPathOf {
  protected:
    void SetUp() override {
        SKIP_UNLESS_ELEVATED();
        ServerPathOf::SetUp();
        CoInitialize(nullptr);
        CreateDirectoryA(folder_, nullptr);
        ASSERT_TRUE(CopyFileA(controllerPath().c_str(), copy_, FALSE));
        initServerModule(GetModuleHandleA(nullptr), serverClasses(), LIBID_ZEZIZERLib);
        modulePath = copy_;
        removeServerKeys();
        ASSERT_EQ(applyRegistryScript(IDR_CLASS_SCRIPT, ScriptMode::Register), S_OK);
    }
    void TearDown() override {
        removeServerKeys();
        CoUninitialize();
        for (HWND window = FindWindowA(controllerWindowClass, nullptr); window;
             window = FindWindowA(controllerWindowClass, nullptr))
            endControllerOf(window);
        DeleteFileA(copy_);
        RemoveDirectoryA(folder_);
    }

    // Ends the controller that COM started, through Exit, or by force when that takes too long.
    static void endControllerOf(HWND window) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
        PostMessageA(window, WM_COMMAND, controllerExitCommand, 0);
        if (process && WaitForSingleObject(process, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process, 1);
        if (process)
            CloseHandle(process);
    }

    const char* folder_ = "C:\\zezizer server test";
    const char* copy_ = "C:\\zezizer server test\\ZEZIZER.exe";
};

TEST_F(ControllerCopyWithABlank, IsStartedByComFromItsQuotedPath) {
    ASSERT_EQ(FindWindowA(controllerWindowClass, nullptr), nullptr);
    EXPECT_EQ(
        registryText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + classIdText + "\\LocalServer32"),
        std::optional<std::string>("\"C:\\zezizer server test\\ZEZIZER.exe\""));

    ComPtr<IUnknown> lumoCode;
    EXPECT_EQ(CoCreateInstance(guidOf(classIdText), nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               lumoCode.putVoid()),
              S_OK);
    lumoCode.reset();
    HWND window = nullptr;
    ASSERT_TRUE(
        waitUntil([&] { return (window = FindWindowA(controllerWindowClass, nullptr)); }, 10000));
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    char image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameA(process, 0, image, &size);
    CloseHandle(process);
    EXPECT_EQ(lstrcmpiA(image, copy_), 0) << image;
}

} // namespace
