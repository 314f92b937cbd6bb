// The start-up decisions: which registration switch the command line holds, and whether a
// controller already runs on this desktop.

#include "app/command_line.h"
#include "app/single_instance.h"
#include "support/controller_process.h"

#include <gtest/gtest.h>

#include <cstring>

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
        WindowOfClass foreign("LUMOCNTLCLASS1");
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
    WindowOfClass foreign("LUMOCNTLCLASS1");
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

} // namespace
