#pragma once
// A program's rule: the program, the command that its start or its coming to the front sends,
// when, and whether stereo goes off afterwards; and which rule a running program falls under.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class When { Running, Front };

struct Rule {
    // A full path, or only a file name, which stands for that name in any folder.
    std::wstring program;
    // One of stereoOnCommands().
    short command = 0;
    When when = When::Running;
    bool offAfter = true;
};

struct NamedCommand;

// A command a rule may send, by name: the stereo-on ones; null for any other name.
const NamedCommand* ruleCommandNamed(std::string_view name);
// Their names, for a message: "stereo-normal, stereo-reverse, ...".
std::string ruleCommandNames();

std::string_view whenName(When when);
std::optional<When> whenNamed(std::string_view name);

// Whether the rule's program is a file name without a folder.
bool isNameOnly(const std::wstring& program);
// The part after the last folder.
std::wstring fileNameOf(const std::wstring& path);
bool sameText(const std::wstring& a, const std::wstring& b);

// The rule for the program running from this full path: a full-path rule wins over a name rule;
// null when no rule lists it.
const Rule* ruleForProgram(const std::vector<Rule>& rules, const std::wstring& imagePath);
// Whether any rule may list a program with this file name: a cheap test before asking the system
// for a process's full path.
bool mayBeListed(const std::vector<Rule>& rules, const std::wstring& fileName);

// A rule's settings as stored: "stereo-reverse running off-after" or "... front keep-on".
std::wstring storedSettings(const Rule& rule);
// Reads stored settings into the rule; false with what is wrong with them.
bool parseStoredSettings(const std::wstring& text, Rule& rule, std::string& problem);

// The program as a rule names it, from what a user typed or picked: a file name stays one, a path
// becomes the full path with long names. False with the reason for a folder or a non-.exe.
bool programOfArgument(const std::wstring& argument, std::wstring& program, std::string& problem);
// Whether the program of a full-path rule is there; a name rule's always is.
bool programFound(const Rule& rule);
