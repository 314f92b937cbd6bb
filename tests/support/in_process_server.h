#pragma once
// The automation object in the test's own process: the server module set up and the type library
// registered once per test program, and the state of a freshly started controller for each test.

#include "code/controller_state.h"
#include "server/server_classes.h"
#include "server/server_module.h"
#include "server/server_registration.h"
#include "support/server_keys.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

class InProcessServer : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        initServerModule(GetModuleHandleA(nullptr), serverClasses(), LIBID_ZEZIZERLib);
        registered_ = SUCCEEDED(registerTypeLibrary());
    }
    static void TearDownTestSuite() {
        terminateServerModule();
        unregisterTypeLibrary();
        removeServerKeys();
        CoUninitialize();
    }
    void SetUp() override {
        SKIP_UNLESS_ELEVATED();
        ASSERT_TRUE(registered_);
        controller = ControllerState{};
        controller.moduleInstance = GetModuleHandleA(nullptr);
    }

  private:
    static inline bool registered_ = false;
};
