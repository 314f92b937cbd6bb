// How long the real controller lives: clients never end it, a second copy leaves it alone, and
// only Exit ends it.

#include "common/com_ptr.h"
#include "support/controller_process.h"
#include "support/server_keys.h"
#include "support/windows.h"

#include <gtest/gtest.h>

namespace {

// Long enough for the shutdown monitor to have ended an unused server (5 s after its last lock).
constexpr DWORD idleServerWouldHaveEndedMs = 6500;

class ServerLifetime : public testing::Test {
  protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_NE(controller_.waitForMainWindow(), nullptr);
    }
    void TearDown() override { CoUninitialize(); }

    static HRESULT createAndRelease() {
        ComPtr<IUnknown> lumoCode;
        return CoCreateInstance(guidOf(classIdText), nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                lumoCode.putVoid());
    }

    ControllerProcess controller_;
};

TEST_F(ServerLifetime, KeepsRunningAfterEveryClientHasReleasedItsObjects) {
    for (int client = 0; client < 3; ++client)
        ASSERT_EQ(createAndRelease(), S_OK);
    EXPECT_FALSE(controller_.waitForExit(idleServerWouldHaveEndedMs).has_value())
        << "the controller ended when its clients had gone";
    EXPECT_EQ(createAndRelease(), S_OK) << "the server is no longer reached";
}

TEST_F(ServerLifetime, ASecondCopyLeavesTheFirstAloneAndEndsAfterAboutOneSecond) {
    const ULONGLONG started = GetTickCount64();
    ControllerProcess second;
    bool windowSeen = true;
    const std::optional<DWORD> exitCode = second.waitForExit(10000, &windowSeen);
    const ULONGLONG elapsed = GetTickCount64() - started;

    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(windowSeen);
    EXPECT_GE(elapsed, 1000u);
    EXPECT_TRUE(controller_.running());
    EXPECT_EQ(topLevelWindowsOfClass(controllerWindowClass).size(), 1u);
    EXPECT_EQ(createAndRelease(), S_OK) << "the first one's class object went with the second";
}

TEST_F(ServerLifetime, EndsWithCodeZeroAboutTwoAndAHalfSecondsAfterExit) {
    const ULONGLONG asked = GetTickCount64();
    const std::optional<DWORD> exitCode = controller_.exit();
    const ULONGLONG elapsed = GetTickCount64() - asked;
    EXPECT_EQ(exitCode, 0u);
    EXPECT_GE(elapsed, 2400u);
}

} // namespace
