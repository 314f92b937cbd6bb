#pragma once
// One controller per desktop: a running one is known by its main window's class name.

// True when a top-level window of class "LUMOCNTLCLASS1" exists, whatever program made it. The
// name is compared case-sensitively.
bool controllerAlreadyRuns();
