// Clients in other processes drive the running controller through ZEZIZER.LumoCode: this test
// program early- and late-bound, and script clients run by the system's script host.

#include "support/child_process.h"
#include "support/code_on_screen.h"
#include "support/code_table.h"
#include "support/out_of_process_server.h"
#include "zezizer.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

namespace {

constexpr DWORD codeShownMs = 2000;
constexpr DWORD scriptEndsMs = 60000;

std::vector<HWND> codeWindowsOf(DWORD processId) {
    return topLevelWindowsOfClass(controllerCodeWindowClass, processId);
}

// Whether one client call made the controller open one code window and show the command's code.
testing::AssertionResult flashesOnce(DWORD controllerProcess, int32_t command,
                                     const std::function<void()>& call) {
    waitForNoCodeWindows(controllerProcess);
    call();
    // The call returns after the controller opened its windows, which live for a second.
    const size_t windows = codeWindowsOf(controllerProcess).size();
    const bool shown = static_cast<bool>(codeAppears(command, codeShownMs));
    if (windows == 1 && shown)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << windows << " code windows opened, the code of " << command
                                       << (shown ? " shown" : " not shown");
}

std::optional<uint32_t> storedSetting(const char* name) {
    return readDword(testControllerKey, name);
}

std::optional<short> getByDispatch(IDispatch* object) {
    VARIANT result;
    VariantInit(&result);
    if (FAILED(invoke(object, 2, DISPATCH_PROPERTYGET, {}, {}, &result)) || V_VT(&result) != VT_I2)
        return std::nullopt;
    return V_I2(&result);
}

std::optional<short> getEarlyBound(ILumoCode* object) {
    short value = -1;
    if (FAILED(object->get_DisplayCode(&value)))
        return std::nullopt;
    return value;
}

using AutomationClient = OutOfProcessServer;

TEST_F(AutomationClient, SendCodeStoresTheStateAndFlashesTheCommandsCode) {
    auto lumoCode = createInController<ILumoCode>(IID_ILumoCode);
    ASSERT_TRUE(lumoCode);
    EXPECT_TRUE(
        flashesOnce(controllerProcess(), 1, [&] { EXPECT_EQ(lumoCode->SendCode(1), S_OK); }));
    EXPECT_EQ(storedSetting("Active"), 1u);
    EXPECT_EQ(storedSetting("Reverse"), 0u);

    EXPECT_TRUE(
        flashesOnce(controllerProcess(), 2, [&] { EXPECT_EQ(lumoCode->SendCode(2), S_OK); }));
    EXPECT_EQ(storedSetting("Active"), 1u);
    EXPECT_EQ(storedSetting("Reverse"), 1u);
    EXPECT_EQ(getEarlyBound(lumoCode.get()), 0) << "SendCode changed the stored DisplayCode";
}

TEST_F(AutomationClient, DisplayCodeKeepsItsValueAndSendsItOncePerPut) {
    auto lumoCode = createInController<ILumoCode>(IID_ILumoCode);
    ASSERT_TRUE(lumoCode);
    EXPECT_EQ(getEarlyBound(lumoCode.get()), 0);

    EXPECT_TRUE(flashesOnce(controllerProcess(), 3, [&] { lumoCode->put_DisplayCode(3); }));
    EXPECT_EQ(getEarlyBound(lumoCode.get()), 3);

    EXPECT_TRUE(flashesOnce(controllerProcess(), 5, [&] { lumoCode->SendCode(5); }));
    EXPECT_EQ(storedSetting("Active"), 1u);
    EXPECT_EQ(getEarlyBound(lumoCode.get()), 3);
}

TEST_F(AutomationClient, EveryObjectKeepsItsOwnDisplayCode) {
    auto first = createInController<ILumoCode>(IID_ILumoCode);
    auto second = createInController<ILumoCode>(IID_ILumoCode);
    ASSERT_TRUE(first && second);
    first->put_DisplayCode(6);
    second->put_DisplayCode(7);
    EXPECT_EQ(getEarlyBound(first.get()), 6);
    EXPECT_EQ(getEarlyBound(second.get()), 7);
}

TEST_F(AutomationClient, TestDialogSucceedsAndShowsNothing) {
    auto lumoCode = createInController<ILumoCode>(IID_ILumoCode);
    ASSERT_TRUE(lumoCode);
    waitForNoCodeWindows(controllerProcess());
    const size_t before = visibleWindowsOf(controllerProcess()).size();
    EXPECT_EQ(lumoCode->TestDialog(), S_OK);
    EXPECT_EQ(visibleWindowsOf(controllerProcess()).size(), before);
}

TEST_F(AutomationClient, LateBoundCallsByDispidBehaveAsTheEarlyBoundOnes) {
    auto lumoCode = createInController<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(lumoCode);
    EXPECT_TRUE(flashesOnce(controllerProcess(), 4, [&] {
        EXPECT_EQ(invoke(lumoCode.get(), 1, DISPATCH_METHOD, {shortArgument(4)}), S_OK);
    }));
    EXPECT_EQ(getByDispatch(lumoCode.get()), 0);

    EXPECT_TRUE(flashesOnce(controllerProcess(), 1000, [&] {
        EXPECT_EQ(invoke(lumoCode.get(), 2, DISPATCH_PROPERTYPUT, {shortArgument(1000)},
                         {DISPID_PROPERTYPUT}),
                  S_OK);
    }));
    EXPECT_EQ(storedSetting("Active"), 0u);
    EXPECT_EQ(getByDispatch(lumoCode.get()), 1000);

    EXPECT_EQ(invoke(lumoCode.get(), 3, DISPATCH_METHOD, {}), S_OK);
    EXPECT_EQ(invoke(lumoCode.get(), 4, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
}

// Watches, while a client runs, for the code windows that the controller opens and the codes
// that appear on the screen.
class FlashWatch {
  public:
    explicit FlashWatch(DWORD controllerProcess) : controllerProcess_(controllerProcess) {}

    void look() {
        for (HWND window : codeWindowsOf(controllerProcess_))
            if (std::find(windows_.begin(), windows_.end(), window) == windows_.end())
                windows_.push_back(window);
        for (const ExpectedCode& code : expectedCodes)
            if (!saw(code.command) && screenShowsCode(code.command))
                codes_.push_back(code.command);
    }
    size_t windows() const { return windows_.size(); }
    bool saw(int32_t command) const {
        return std::find(codes_.begin(), codes_.end(), command) != codes_.end();
    }

  private:
    DWORD controllerProcess_;
    std::vector<HWND> windows_;
    std::vector<int32_t> codes_;
};

// Runs a script with the system's script host, from the folder of the scripts (which holds no
// program of the host's name), watching the screen meanwhile; its output, or nothing when it did
// not end in time.
std::optional<std::string> runScript(const std::string& script, FlashWatch& watch) {
    ChildProcess host("cscript.exe //nologo " + script, testProgramFolder() + "scripts");
    if (!host.waitForExit(scriptEndsMs, [&] { watch.look(); }))
        return std::nullopt;
    return host.output() + host.errors();
}

class ScriptClient : public AutomationClient, public testing::WithParamInterface<const char*> {};

TEST_P(ScriptClient, CreatesTheObjectByNameAndDrivesTheController) {
    waitForNoCodeWindows(controllerProcess());
    FlashWatch watch(controllerProcess());
    const std::optional<std::string> output = runScript(GetParam(), watch);
    ASSERT_TRUE(output.has_value()) << "the script did not end";
    EXPECT_EQ(*output, "new 0\r\nput 3 0\r\nsent 3\r\ndone\r\n");
    // The last code stays up for a second after the script's last call.
    EXPECT_TRUE(waitUntil(
        [&] {
            watch.look();
            return watch.saw(2);
        },
        codeShownMs));
    EXPECT_EQ(watch.windows(), 2u) << "one code for the put, one for SendCode";
    EXPECT_EQ(storedSetting("Active"), 1u);
    EXPECT_EQ(storedSetting("Reverse"), 1u);
}

INSTANTIATE_TEST_SUITE_P(VBScriptAndJScript, ScriptClient,
                         testing::Values("lumo_code_client.vbs", "lumo_code_client.js"));

// A running controller whose server was never registered: the class object serves clients, but
// without the registered type library no call by name or DISPID can be made.
class UnregisteredServer : public testing::Test {
  protected:
    void SetUp() override {
        SKIP_UNLESS_ELEVATED();
        CoInitialize(nullptr);
        removeServerKeys();
        ASSERT_NE(controller_.waitForMainWindow(), nullptr);
    }
    void TearDown() override {
        controller_.exit();
        removeServerKeys();
        CoUninitialize();
    }

    ControllerProcess controller_;
};

TEST_F(UnregisteredServer, LateBoundCallsFailUntilTheServerIsRegistered) {
    auto lumoCode = createInController<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(lumoCode);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"SendCode")};
    DISPID found = 0;
    EXPECT_TRUE(FAILED(lumoCode->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &found)));
    waitForNoCodeWindows(controller_.processId());
    EXPECT_TRUE(FAILED(invoke(lumoCode.get(), 1, DISPATCH_METHOD, {shortArgument(2)})));
    EXPECT_TRUE(codeWindowsOf(controller_.processId()).empty());

    ASSERT_EQ(runController("/RegServer"), 0u);
    EXPECT_EQ(lumoCode->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &found), S_OK);
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(flashesOnce(controller_.processId(), 2, [&] {
        EXPECT_EQ(invoke(lumoCode.get(), 1, DISPATCH_METHOD, {shortArgument(2)}), S_OK);
    }));
}

// Registered for the user alone, as the zip's users and the installer's "for me only" do, the
// server is found as when registered for the machine: COM consults the user's classes first.
TEST(PerUserRegistration, ScriptAndEarlyBoundClientsReachTheControllerThatComStarts) {
    SKIP_UNDER_WINE("its COM never looks under HKCU\\Software\\Classes");
    if (runsElevated())
        GTEST_SKIP() << "COM ignores the user's classes in an elevated program";
    CoInitialize(nullptr);
    ASSERT_EQ(runController("/RegServerPerUser"), 0u);
    auto lumoCode = createInController<ILumoCode>(IID_ILumoCode);
    const std::vector<HWND> started = topLevelWindowsOfClass(controllerWindowClass);
    ASSERT_TRUE(lumoCode);
    ASSERT_EQ(started.size(), 1u);
    DWORD controller = 0;
    GetWindowThreadProcessId(started[0], &controller);
    EXPECT_TRUE(flashesOnce(controller, 1, [&] { EXPECT_EQ(lumoCode->SendCode(1), S_OK); }));
    lumoCode.reset();
    FlashWatch watch(controller);
    EXPECT_EQ(runScript("lumo_code_client.vbs", watch),
              std::optional<std::string>("new 0\r\nput 3 0\r\nsent 3\r\ndone\r\n"));

    PostMessageA(started[0], WM_COMMAND, controllerExitCommand, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(started[0]); }, 10000));
    EXPECT_EQ(runController("/UnregServerPerUser"), 0u);
    CoUninitialize();
}

} // namespace
