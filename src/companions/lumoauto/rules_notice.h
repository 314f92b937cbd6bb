#pragma once
// Tells a window when the stored rules change, whoever changed them (lumoauto --add from a script,
// the window of this program, the registry editor): one posted message a change, no polling.

#include "lumoauto/waiter.h"

#include "common/registry_key.h"

#include <windows.h>

class RulesNotice {
  public:
    // The waiter tells the window with the id given.
    RulesNotice(Waiter& waiter, WPARAM id);
    RulesNotice(const RulesNotice&) = delete;
    RulesNotice& operator=(const RulesNotice&) = delete;

    // Asks for the next change; called again after each message. Creates the rules key when it is
    // missing, so that there is one to watch. False when no change will be told.
    bool arm();

  private:
    // Owned by the waiter.
    HANDLE event_ = nullptr;
    RegistryKey key_;
};
