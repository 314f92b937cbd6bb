#pragma once
// lumoauto's command line: the rules changed and listed from scripts, installers and tests, the
// watching started with or without the window.

#include "client/commands.h"
#include "lumoauto/rules.h"

#include <string>
#include <vector>

enum class Action { Window, Background, Add, Remove, List, Help };

struct Invocation {
    Action action = Action::Window;
    std::wstring program;
    const NamedCommand* command = nullptr;
    When when = When::Running;
    bool keepOn = false;
    bool json = false;
};

enum ExitCode : int {
    ExitDone = 0,
    ExitNotStored = 1,
    ExitUsage = 2,
};

// The words after the program's name; false with what is wrong.
bool parseInvocation(const std::vector<std::wstring>& words, Invocation& invocation,
                     std::string& problem);

// What a command-line action printed, UTF-8, and its exit code.
struct Answer {
    std::string output;
    std::string errors;
    int exitCode = ExitDone;
};

// --add, --remove, --list and --help.
Answer answer(const Invocation& invocation);

// Usage is printed after the reason for a refusal.
Answer refusal(const std::string& problem);

// One line a rule, as --list prints it.
std::string listLine(const Rule& rule);

extern const char usageText[];
