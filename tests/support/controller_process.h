#pragma once
// The real ZEZIZER.exe, started from outside as a child process of the test.

#include "support/child_process.h"
#include "support/test_names.h"

#include <windows.h>

#include <optional>
#include <string>

constexpr WORD controllerExitCommand = 40001;

// The folder of the test programs, with its trailing backslash.
std::string testProgramFolder();
// The full path of the program beside the test programs' folder (..\ZEZIZER.exe).
std::string controllerPath();

// The controller's main window in the process, or null.
HWND mainWindowOf(DWORD processId);

// A started ZEZIZER.exe. Whatever happens, it does not outlive the object: the destructor ends it
// through Exit and, when that does not work in time, terminates it.
class ControllerProcess : public ChildProcess {
  public:
    // desktop: the one it starts on; empty for the test's own.
    explicit ControllerProcess(const std::string& arguments = "",
                               const std::string& program = controllerPath(),
                               const std::string& desktop = "");
    ~ControllerProcess();

    // Waits until the main window exists; null when it did not come in time.
    HWND waitForMainWindow(DWORD timeoutMs = 10000);
    // Waits for the end of the process while watching for its main window; the exit code, or
    // nothing when it did not end in time.
    std::optional<DWORD> waitForExit(DWORD timeoutMs, bool* mainWindowSeen = nullptr);
    // Chooses Exit on the main window and waits for the end; the exit code or nothing.
    std::optional<DWORD> exit(DWORD timeoutMs = 10000);
};

// Runs the program with the arguments to its end: the exit code, or nothing when it did not end.
std::optional<DWORD> runController(const std::string& arguments, bool* mainWindowSeen = nullptr,
                                   const std::string& program = controllerPath());

// Registers the server with the real program for the life of the object.
class ServerRegistration {
  public:
    ServerRegistration() : result_(runController("/RegServer")) {}
    ~ServerRegistration() { runController("/UnregServer"); }
    ServerRegistration(const ServerRegistration&) = delete;
    ServerRegistration& operator=(const ServerRegistration&) = delete;

    bool succeeded() const { return result_ == 0u; }

  private:
    std::optional<DWORD> result_;
};
