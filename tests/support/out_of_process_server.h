#pragma once
// The automation server registered by the real program and one running ZEZIZER.exe for every
// test of a program, which is a client in another process; the settings start from the defaults
// (stereo off, normal order). With the late-bound calls such a client makes.

#include "common/com_ptr.h"
#include "support/controller_process.h"
#include "support/registry.h"
#include "support/server_keys.h"
#include "support/test_host.h"
#include "support/test_names.h"
#include "support/wait.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

constexpr DWORD codeWindowsGoneMs = 3000;

// Waits until the code windows of earlier commands are gone, so that the next ones are its own.
inline void waitForNoCodeWindows(DWORD processId) {
    waitUntil([&] { return topLevelWindowsOfClass(controllerCodeWindowClass, processId).empty(); },
              codeWindowsGoneMs);
}

// A new object in the running controller through one of its interfaces.
template <class Interface> ComPtr<Interface> createInController(const IID& iid) {
    ComPtr<Interface> object;
    EXPECT_EQ(
        CoCreateInstance(guidOf(classIdText), nullptr, CLSCTX_LOCAL_SERVER, iid, object.putVoid()),
        S_OK);
    return object;
}

inline VARIANT shortArgument(short value) {
    VARIANT argument{};
    V_VT(&argument) = VT_I2;
    V_I2(&argument) = value;
    return argument;
}

// A call through IDispatch::Invoke with the arguments and the named DISPIDs as given; the answer
// goes to *result when one is asked for.
inline HRESULT invoke(IDispatch* object, DISPID member, WORD flags, std::vector<VARIANT> arguments,
                      std::vector<DISPID> named = {}, VARIANT* result = nullptr) {
    DISPPARAMS parameters{arguments.data(), named.data(), static_cast<UINT>(arguments.size()),
                          static_cast<UINT>(named.size())};
    VARIANT ignored;
    VariantInit(&ignored);
    UINT argumentError = 0;
    EXCEPINFO exception{};
    const HRESULT answer = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                          result ? result : &ignored, &exception, &argumentError);
    VariantClear(&ignored);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return answer;
}

class OutOfProcessServer : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        removeServerKeys();
        deleteCorvaneKey();
        registration_ = new ServerRegistration;
        controller_ = new ControllerProcess;
        controller_->waitForMainWindow();
    }
    static void TearDownTestSuite() {
        delete std::exchange(controller_, nullptr);
        delete std::exchange(registration_, nullptr);
        removeServerKeys();
        CoUninitialize();
    }
    void SetUp() override {
        SKIP_UNLESS_ELEVATED();
        ASSERT_TRUE(registration_->succeeded());
        ASSERT_NE(mainWindowOf(controllerProcess()), nullptr);
    }

    static DWORD controllerProcess() { return controller_->processId(); }

  private:
    static inline ServerRegistration* registration_ = nullptr;
    static inline ControllerProcess* controller_ = nullptr;
};
