#pragma once
// One controller per desktop: a running one is known by its main window's class name, and one
// that is still starting by the instance mutex it holds.

#include "common/handle.h"

#include <windows.h>

// True when a top-level window of class "LUMOCNTLCLASS1" exists, whatever program made it. The
// name is compared case-sensitively.
bool controllerAlreadyRuns();

// The claim of this process to be the desktop's one controller, held for the object's life. Two
// copies started at the same moment would both search for the main window before either had
// made it; a named mutex of the user's log-on tells the later one at once.
class InstanceClaim {
  public:
    InstanceClaim();

    // False when another process holds the claim already.
    bool held() const { return held_; }

  private:
    Handle mutex_;
    bool held_;
};
