#pragma once
// The controller as it is the first time a user starts it: nothing stored in the registry, the
// state at its defaults, this test program as the module that holds the resources.

#include "code/controller_state.h"
#include "support/registry.h"

inline void startFreshController() {
    deleteCorvaneKey();
    controller = ControllerState{};
    controller.moduleInstance = GetModuleHandleA(nullptr);
}
