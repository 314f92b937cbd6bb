#pragma once
// lumowatch --check: asks the system, prints what it says and the changes that a code needs.

// Prints the report (as one JSON line with json) and returns the exit code: 0 when nothing stands
// in the way of a code, 1 when something does.
int runCheck(bool json);
