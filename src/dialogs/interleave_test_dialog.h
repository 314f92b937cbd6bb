#pragma once
// The interleave test: a row-interleaved picture placed so that each eye sees its own rows, and
// a button that swaps the eyes. The outcome is left in controller.tested.

#include <windows.h>

// Runs the test modally, owned by the given window: IDOK after OK, IDCANCEL after Cancel, -1 when
// it cannot be created.
INT_PTR runInterleaveTestDialog(HWND owner);
