#pragma once
// A program that a test starts as a child process, with its standard output and errors in files
// of their own that can be read while it runs. It does not outlive the object.

#include "common/handle.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

// The command line that starts the program at the path, quoted, with the arguments.
std::string commandLineOf(const std::string& program, const std::string& arguments);
// Text in the ANSI code page as wide text.
std::wstring wideOfAnsi(const std::string& text);

class ChildProcess {
  public:
    // folder: the child's current folder; desktop: the desktop it starts on; empty for the
    // test's own.
    explicit ChildProcess(const std::string& commandLine, const std::string& folder = "",
                          const std::string& desktop = "");
    // The same in wide text, for a program whose path the ANSI code page cannot spell.
    explicit ChildProcess(std::wstring commandLine, const std::wstring& folder = L"",
                          std::wstring desktop = L"");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    DWORD processId() const { return processId_; }
    bool running() const;
    // Waits for its end, calling meanwhile() as it goes; the exit code, or nothing in time.
    std::optional<DWORD> waitForExit(DWORD timeoutMs, const std::function<void()>& meanwhile = {});
    // Ends it at once, wherever it is.
    void terminate();
    std::string output() const;
    std::string errors() const;

  private:
    std::string outputPath_;
    std::string errorsPath_;
    Handle process_;
    DWORD processId_ = 0;
};
