// The start-up decisions: which registration switch the command line holds, whether a controller
// already runs on this desktop, and how the program declares itself to the system.

#include "app/command_line.h"
#include "app/single_instance.h"
#include "support/controller_process.h"
#include "support/test_names.h"
#include "support/wait.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>

namespace {

TEST(CommandLine, TokensStartBehindEachDashOrSlash) {
    const char text[] = "ZEZIZER.exe -one/two";
    const char* first = findToken(text, "-/");
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "one/two");
    const char* second = findToken(first, "-/");
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second, "two");
    EXPECT_EQ(findToken(second, "-/"), nullptr);
    EXPECT_EQ(findToken("", "-/"), nullptr);
}

TEST(CommandLine, ASwitchMatchesOnlyAsTheWholeRestOfTheLineInAnyCase) {
    const struct {
        const char* commandLine;
        RegistrationSwitch expected;
    } cases[] = {
        {"ZEZIZER.exe /RegServer", RegistrationSwitch::Register},
        {"ZEZIZER.exe -regserver", RegistrationSwitch::Register},
        {"ZEZIZER.exe /REGSERVER", RegistrationSwitch::Register},
        {"ZEZIZER.exe /UnregServer", RegistrationSwitch::Unregister},
        {"ZEZIZER.exe -unregSERVER", RegistrationSwitch::Unregister},
        {"\"C:\\Lumo-Controller\\ZEZIZER.exe\" /RegServer", RegistrationSwitch::Register},
        {"\"C:\\Lumo-RegServer\\ZEZIZER.exe\" -Embedding", RegistrationSwitch::None},
        {"ZEZIZER.exe //RegServer", RegistrationSwitch::Register},
        {"ZEZIZER.exe /RegServer extra", RegistrationSwitch::None},
        {"ZEZIZER.exe /RegServer ", RegistrationSwitch::None},
        {"ZEZIZER.exe RegServer", RegistrationSwitch::None},
        {"ZEZIZER.exe /Reg", RegistrationSwitch::None},
        {"ZEZIZER.exe /RegServerPerUser", RegistrationSwitch::RegisterPerUser},
        {"ZEZIZER.exe -unregserverperuser", RegistrationSwitch::UnregisterPerUser},
        {"ZEZIZER.exe /RegServerPerUser now", RegistrationSwitch::None},
        {"ZEZIZER.exe /RegServerPer", RegistrationSwitch::None},
        {"ZEZIZER.exe", RegistrationSwitch::None},
    };
    for (const auto& test : cases)
        EXPECT_EQ(findRegistrationSwitch(test.commandLine), test.expected) << test.commandLine;
}

// A top-level window of this process with a class of the given name, for as long as it lives.
class WindowOfClass {
  public:
    explicit WindowOfClass(const char* className) : className_(className) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~WindowOfClass() {
        DestroyWindow(window_);
        UnregisterClassA(className_, GetModuleHandleA(nullptr));
    }
    WindowOfClass(const WindowOfClass&) = delete;
    WindowOfClass& operator=(const WindowOfClass&) = delete;

    bool exists() const { return window_ != nullptr; }

  private:
    const char* className_;
    HWND window_;
};

TEST(SingleInstance, AnyProgramsWindowOfTheExactClassNameCountsAsARunningController) {
    ASSERT_FALSE(controllerAlreadyRuns());
    {
        WindowOfClass foreign(controllerWindowClass);
        ASSERT_TRUE(foreign.exists());
        EXPECT_TRUE(controllerAlreadyRuns());
    }
    for (const char* other : {"lumocntlclass1", "LUMOCNTLCLASS", "LUMOCNTLCLASS1 and more"}) {
        WindowOfClass lookalike(other);
        ASSERT_TRUE(lookalike.exists());
        EXPECT_FALSE(controllerAlreadyRuns()) << other;
    }
}

TEST(SingleInstance, TheRealProgramGivesWayToSuchAWindowWithoutShowingAnything) {
    WindowOfClass foreign(controllerWindowClass);
    ASSERT_TRUE(foreign.exists());
    bool windowSeen = true;
    ControllerProcess controller;
    EXPECT_EQ(controller.waitForExit(10000, &windowSeen), 0u);
    EXPECT_FALSE(windowSeen);
}

// The system keeps the first spelling of a class name for everyone: the running controller's own
// class then reads "lumocntlclass1" too.
TEST(SingleInstance, TheRealProgramStartsBesideAWindowWhoseClassDiffersInCase) {
    WindowOfClass lookalike("lumocntlclass1");
    ASSERT_TRUE(lookalike.exists());
    ControllerProcess controller;
    EXPECT_NE(controller.waitForMainWindow(), nullptr);
    EXPECT_EQ(controller.exit(), 0u);
}

// Both copies search for a running controller before either has made its window; only one may
// come through, whichever it is. Each round starts them on a desktop of its own that is not up
// yet: both wait for it and go on at the same moment, as programs started at log-on do.
TEST(SingleInstance, OfTwoCopiesStartedAtTheSameMomentOneGivesWay) {
    for (int round = 0; round < 3; ++round) {
        const std::string name = "zezizer-start-race-" + std::to_string(GetCurrentProcessId()) +
                                 "-" + std::to_string(round);
        HDESK desktop = CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        ASSERT_NE(desktop, nullptr);
        // The windows are looked for from a thread on that desktop.
        std::thread([&] {
            ASSERT_TRUE(SetThreadDesktop(desktop));
            ControllerProcess copies[2] = {ControllerProcess("", controllerPath(), name),
                                           ControllerProcess("", controllerPath(), name)};
            ASSERT_TRUE(copies[0].started() && copies[1].started());
            ASSERT_TRUE(
                waitUntil([&] { return !copies[0].running() || !copies[1].running(); }, 15000))
                << "round " << round << ": both copies run on";
            ControllerProcess& gone = copies[0].running() ? copies[1] : copies[0];
            ControllerProcess& kept = copies[0].running() ? copies[0] : copies[1];
            EXPECT_EQ(gone.waitForExit(0), 0u) << "round " << round;
            EXPECT_NE(kept.waitForMainWindow(), nullptr) << "round " << round;
            EXPECT_EQ(topLevelWindowsOfClass(controllerWindowClass).size(), 1u)
                << "round " << round;
            EXPECT_EQ(kept.exit(), 0u) << "round " << round;
        }).join();
        CloseDesktop(desktop);
    }
}

// The program's manifest as the system reads it from the file; empty when it has none.
std::string manifestOf(const std::string& program) {
    HMODULE file = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!file)
        return {};
    std::string text;
    if (HRSRC found = FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)))
        text.assign(static_cast<const char*>(LockResource(LoadResource(file, found))),
                    SizeofResource(file, found));
    FreeLibrary(file);
    return text;
}

// The functions a program of the test's own word size imports by name, as "library!Function" with
// the library in lower case.
std::set<std::string> importsOf(const std::string& program) {
    std::set<std::string> imports;
    HMODULE mapped = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!mapped)
        return imports;
    // The low bits of such a handle mark it as mapped for reading: the image starts below them.
    auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(mapped) & ~ULONG_PTR{3});
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + table.VirtualAddress);
         table.VirtualAddress && library->Name; ++library) {
        std::string name = reinterpret_cast<const char*>(base + library->Name);
        for (char& c : name)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        for (auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA*>(
                 base +
                 (library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk));
             thunk->u1.AddressOfData; ++thunk)
            if (!IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal))
                imports.insert(
                    name + "!" +
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData)
                        ->Name);
    }
    FreeLibrary(mapped);
    return imports;
}

// Every Windows program sleeps a whole clock tick unless it asks for a finer one: lumowatch's
// few milliseconds between reads need it. The controller takes its common controls from the
// system, never from a file of that name beside it, which a load by name at run time would find
// first.
TEST(Imports, LumowatchRaisesTheTimerResolutionAndTheControllerImportsTheCommonControls) {
    const std::set<std::string> watch = importsOf(testProgramFolder() + "..\\lumowatch.exe");
    ASSERT_FALSE(watch.empty());
    EXPECT_TRUE(watch.count("winmm.dll!timeBeginPeriod"));
    EXPECT_TRUE(watch.count("winmm.dll!timeEndPeriod"));
    const std::set<std::string> controllerImports = importsOf(controllerPath());
    ASSERT_FALSE(controllerImports.empty());
    EXPECT_TRUE(controllerImports.count("comctl32.dll!InitCommonControlsEx"));
}

using GetWindowDpiAwarenessContextFunction = HANDLE(WINAPI*)(HWND);
using GetAwarenessFromDpiAwarenessContextFunction = int(WINAPI*)(HANDLE);
constexpr int perMonitorAware = 2;

// Without it the system stretches the code window on a scaled display and its one-pixel rows
// smear into each other.
TEST(Manifest, TheProgramsAreAwareOfEachMonitorsScaleAndRunAsTheUserWhoStartsThem) {
    // lumowatch reads the screen's pixels and must see them unscaled too.
    for (const std::string& program :
         {controllerPath(), testProgramFolder() + "..\\lumowatch.exe"}) {
        const std::string manifest = manifestOf(program);
        ASSERT_FALSE(manifest.empty()) << "no manifest in " << program;
        for (const char* declaration :
             {">PerMonitorV2, PerMonitor</dpiAwareness>", ">true/pm</dpiAware>",
              "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
              "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
              "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",
              // Themed dialogs and message boxes, not those of Windows 95.
              "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
            EXPECT_NE(manifest.find(declaration), std::string::npos)
                << program << ": " << declaration;
    }

    HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto windowContext = reinterpret_cast<GetWindowDpiAwarenessContextFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
    const auto awareness =
        reinterpret_cast<GetAwarenessFromDpiAwarenessContextFunction>(reinterpret_cast<void (*)()>(
            GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    if (!windowContext || !awareness)
        GTEST_SKIP() << "this system does not tell a window's awareness";
    ControllerProcess controller;
    HWND window = controller.waitForMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(awareness(windowContext(window)), perMonitorAware);
    EXPECT_EQ(controller.exit(), 0u);
}

} // namespace
