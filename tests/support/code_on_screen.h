#pragma once
// Whether the top rows of the real screen show a command's display code right now, or soon.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

constexpr DWORD codeAppearsMs = 3000;

bool screenShowsCode(int32_t command);

// Waits (pumping this thread's messages) until the screen shows the code; on failure, says the
// first row that the screen showed otherwise.
testing::AssertionResult codeAppears(int32_t command, DWORD timeoutMs = codeAppearsMs);

// Waits until the code windows of this process have ended by themselves.
bool codeWindowsGone(DWORD timeoutMs = codeAppearsMs);
// Closes the code windows of this process before their second is up.
void closeCodeWindows();
