// The server path that registration writes, for paths with blanks, quotes, without short names
// and outside the ANSI code page; and COM starting the controller from such a path.

#include "resource.h"
#include "common/com_ptr.h"
#include "common/utf8.h"
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
std::wstring modulePath;
std::wstring shortForm;
DWORD shortFormLength = 0;
void* realGetModuleFileNameW = nullptr;

DWORD WINAPI fakeGetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (modulePath.empty())
        return reinterpret_cast<decltype(&GetModuleFileNameW)>(realGetModuleFileNameW)(
            module, buffer, size);
    lstrcpynW(buffer, modulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(std::min<size_t>(modulePath.size(), size));
}

DWORD WINAPI fakeGetShortPathNameW(LPCWSTR, LPWSTR buffer, DWORD size) {
    if (shortForm.empty() && !shortFormLength) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (shortFormLength)
        return shortFormLength;
    lstrcpynW(buffer, shortForm.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(shortForm.size());
}

class ServerPathOf : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(moduleName_.active());
        ASSERT_TRUE(shortName_.active());
        realGetModuleFileNameW = moduleName_.original();
        modulePath.clear();
        shortForm.clear();
        shortFormLength = 0;
    }

    static ServerPath pathFor(const std::wstring& path) {
        modulePath = path;
        ServerPath server;
        EXPECT_EQ(serverPathOf(GetModuleHandleA(nullptr), server), S_OK);
        return server;
    }

    ImportPatch moduleName_{"kernel32.dll", "GetModuleFileNameW",
                            reinterpret_cast<void*>(fakeGetModuleFileNameW)};
    ImportPatch shortName_{"kernel32.dll", "GetShortPathNameW",
                           reinterpret_cast<void*>(fakeGetShortPathNameW)};
};

TEST_F(ServerPathOf, IsTheShortFormWhenTheSystemHasOne) {
    shortForm = L"C:\\PROGRA~1\\LUMO\\ZEZIZER.EXE";
    ServerPath server = pathFor(L"C:\\Program Files\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(server.path, L"C:\\PROGRA~1\\LUMO\\ZEZIZER.EXE");
    EXPECT_EQ(server.command, L"C:\\PROGRA~1\\LUMO\\ZEZIZER.EXE");
}

TEST_F(ServerPathOf, WithoutShortNamesIsTheLongPathQuotedAsACommandWhenItHoldsABlank) {
    ServerPath spaced = pathFor(L"C:\\Program Files\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(spaced.path, L"C:\\Program Files\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(spaced.command, L"\"C:\\Program Files\\Lumo\\ZEZIZER.exe\"");

    ServerPath plain = pathFor(L"D:\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(plain.path, L"D:\\Lumo\\ZEZIZER.exe");
    EXPECT_EQ(plain.command, L"D:\\Lumo\\ZEZIZER.exe");
}

TEST_F(ServerPathOf, FailsWhenTheShortFormWouldNotFitOrTheModulePathWasCut) {
    ServerPath server;
    modulePath = L"C:\\Lumo\\ZEZIZER.exe";
    shortFormLength = MAX_PATH + 12;
    EXPECT_EQ(serverPathOf(GetModuleHandleA(nullptr), server), E_OUTOFMEMORY);
    modulePath = L"C:\\" + std::wstring(MAX_PATH, L'x');
    EXPECT_TRUE(FAILED(serverPathOf(GetModuleHandleA(nullptr), server)));
}

TEST_F(ServerPathOf, IsRegisteredWithItsQuotesIntactAndTheCommandQuotedForLocalServer32) {
    SKIP_UNLESS_ELEVATED();
    initServerModule(GetModuleHandleA(nullptr), serverClasses(), LIBID_ZEZIZERLib);
    modulePath = L"C:\\Lumo's Files\\ZEZIZER.exe";
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
        modulePath = wideOfAnsi(copy_);
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

  public:
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

  protected:
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

// A copy in a folder whose name the ANSI code page cannot spell (as a user's profile's often is),
// registered by the program's own switch.
class ControllerCopyInAForeignFolder : public testing::TestWithParam<const wchar_t*> {
  protected:
    void SetUp() override {
        removeServerKeys();
        CreateDirectoryW(folder_, nullptr);
        ASSERT_TRUE(CopyFileW(wideOfAnsi(controllerPath()).c_str(), copy_, FALSE));
    }
    void TearDown() override {
        for (HWND window; (window = FindWindowA(controllerWindowClass, nullptr));)
            ControllerCopyWithABlank::endControllerOf(window);
        removeServerKeys();
        DeleteFileW(copy_);
        RemoveDirectoryW(folder_);
    }

    const wchar_t* folder_ = L"C:\\Ωμέγα 東京";
    const wchar_t* copy_ = L"C:\\Ωμέγα 東京\\ZEZIZER.exe";
};

TEST_P(ControllerCopyInAForeignFolder, RegistersAPathThatNamesItAndComStartsIt) {
    const bool forTheMachine = lstrcmpW(GetParam(), L"/RegServer") == 0;
    if (forTheMachine) {
        SKIP_UNLESS_ELEVATED();
    }
    ChildProcess registration(L"\"" + std::wstring(copy_) + L"\" " + GetParam());
    ASSERT_EQ(registration.waitForExit(20000), std::optional<DWORD>(0));
    const std::wstring key =
        L"Software\\Classes\\CLSID\\" + wideOfAnsi(classIdText) + L"\\LocalServer32";
    wchar_t command[MAX_PATH] = {};
    DWORD size = sizeof(command);
    RegGetValueW(forTheMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key.c_str(), nullptr,
                 RRF_RT_REG_SZ, nullptr, command, &size);
    std::wstring server = command;
    if (server.starts_with(L'"'))
        server = server.substr(1, server.size() - 2);
    wchar_t longPath[MAX_PATH] = {};
    GetLongPathNameW(server.c_str(), longPath, MAX_PATH);
    EXPECT_EQ(lstrcmpiW(longPath, copy_), 0) << "registered: " << narrow(command);

    // COM consults the user's classes, but not under Wine nor for an elevated program.
    if (!forTheMachine && (!wineVersion().empty() || runsElevated()))
        return;
    ChildProcess client("cscript.exe //nologo lumo_code_client.vbs",
                        testProgramFolder() + "scripts");
    ASSERT_TRUE(client.waitForExit(60000)) << "the script did not end";
    EXPECT_EQ(client.output() + client.errors(), "new 0\r\nput 3 0\r\nsent 3\r\ndone\r\n");
}

INSTANTIATE_TEST_SUITE_P(ForTheMachineAndTheUser, ControllerCopyInAForeignFolder,
                         testing::Values(L"/RegServer", L"/RegServerPerUser"));

} // namespace
