#pragma once
// Finding the windows that the program under test made.

#include <windows.h>

#include <string>
#include <vector>

// Top-level windows of a class (any process), newest first as the system lists them.
std::vector<HWND> topLevelWindowsOfClass(const char* className);
// Those of them that belong to one process.
std::vector<HWND> topLevelWindowsOfClass(const char* className, DWORD processId);
// Every top-level window of one process.
std::vector<HWND> topLevelWindowsOfProcess(DWORD processId);
// The visible top-level windows of one process, of one class or (null) of any.
std::vector<HWND> visibleWindowsOf(DWORD processId, const char* className = nullptr);

std::string windowText(HWND window);
std::string className(HWND window);
