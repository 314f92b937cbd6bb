#include "lumoauto/command_line.h"

#include "lumoauto/rule_store.h"

#include "client/json_string.h"
#include "common/utf8.h"

const char usageText[] =
    "usage: lumoauto [--background]\n"
    "       lumoauto --add PROGRAM --command COMMAND [--when running|front] [--keep-on]\n"
    "       lumoauto --remove PROGRAM\n"
    "       lumoauto --list [--json]\n"
    "\n"
    "Switches the glasses by program: when a listed program starts (or, with --when front,\n"
    "comes to the front), its command goes to the Lumo Controller; when it ends (or leaves\n"
    "the front), stereo goes off again, or to the command of another listed program still\n"
    "running. Without arguments lumoauto shows its window and watches.\n"
    "\n"
    "  --background      watch without showing the window (as started at log-on)\n"
    "  --add PROGRAM     list a program: its full path, or a file name for that name in any\n"
    "                    folder; a rule for the same program is replaced\n"
    "  --command NAME    stereo-normal, stereo-reverse, stereo-resync or stereo-on\n"
    "  --when WHEN       running (from start to end, the default) or front (while one of its\n"
    "                    windows is the foreground window)\n"
    "  --keep-on         leave stereo on afterwards\n"
    "  --remove PROGRAM  take a program off the list\n"
    "  --list            one line a rule; --json: one JSON object a line\n"
    "  -h, --help, /?    show this text\n"
    "\n"
    "Exit codes: 0 done, 1 the rules cannot be stored, 2 bad arguments.\n";

namespace {

bool takeCommand(const std::wstring& word, Invocation& invocation, std::string& problem) {
    if ((invocation.command = ruleCommandNamed(narrow(word))))
        return true;
    problem = "unknown command \"" + narrow(word) + "\"; a rule sends one of " + ruleCommandNames();
    return false;
}

bool takeWhen(const std::wstring& word, Invocation& invocation, std::string& problem) {
    const std::optional<When> when = whenNamed(narrow(word));
    if (!when) {
        problem = "--when is running or front, not \"" + narrow(word) + "\"";
        return false;
    }
    invocation.when = *when;
    return true;
}

bool setAction(Invocation& invocation, Action action, bool& actionSet, std::string& problem) {
    if (actionSet) {
        problem = "one of --add, --remove, --list, --background or --help at a time";
        return false;
    }
    invocation.action = action;
    actionSet = true;
    return true;
}

// The word after an option that takes one.
const std::wstring* valueOf(const std::vector<std::wstring>& words, size_t& i,
                            std::string& problem) {
    if (i + 1 < words.size())
        return &words[++i];
    problem = narrow(words[i]) + " needs a value";
    return nullptr;
}

bool parseWord(const std::vector<std::wstring>& words, size_t& i, Invocation& invocation,
               bool& actionSet, std::string& problem) {
    const std::wstring& word = words[i];
    const std::wstring* value = nullptr;
    if (word == L"--add" || word == L"--remove") {
        if (!(value = valueOf(words, i, problem)) ||
            !setAction(invocation, word == L"--add" ? Action::Add : Action::Remove, actionSet,
                       problem))
            return false;
        invocation.program = *value;
        return true;
    }
    if (word == L"--command")
        return (value = valueOf(words, i, problem)) && takeCommand(*value, invocation, problem);
    if (word == L"--when")
        return (value = valueOf(words, i, problem)) && takeWhen(*value, invocation, problem);
    if (word == L"--keep-on")
        return invocation.keepOn = true;
    if (word == L"--json")
        return invocation.json = true;
    if (word == L"--list")
        return setAction(invocation, Action::List, actionSet, problem);
    if (word == L"--background")
        return setAction(invocation, Action::Background, actionSet, problem);
    if (word == L"--help" || word == L"-h" || word == L"/?")
        return setAction(invocation, Action::Help, actionSet, problem);
    problem = "unknown argument \"" + narrow(word) + "\"";
    return false;
}

bool consistent(const Invocation& invocation, std::string& problem) {
    const bool adding = invocation.action == Action::Add;
    if (adding && !invocation.command)
        problem = "--add needs --command NAME (one of " + ruleCommandNames() + ")";
    else if (!adding && (invocation.command || invocation.keepOn))
        problem = "--command and --keep-on go with --add";
    else if (invocation.json && invocation.action != Action::List)
        problem = "--json goes with --list";
    return problem.empty();
}

std::string jsonLine(const Rule& rule) {
    const NamedCommand* command = commandOfValue(rule.command);
    return "{\"program\":" + jsonString(narrow(rule.program)) +
           ",\"command\":" + jsonString(std::string(command->name)) +
           ",\"when\":" + jsonString(std::string(whenName(rule.when))) +
           ",\"offAfter\":" + (rule.offAfter ? "true" : "false") +
           ",\"found\":" + (programFound(rule) ? "true" : "false") + "}";
}

std::string jsonLine(const DamagedRule& damaged) {
    return "{\"program\":" + jsonString(narrow(damaged.program)) +
           ",\"damaged\":" + jsonString(damaged.problem) + "}";
}

std::string damagedLine(const DamagedRule& damaged) {
    return narrow(damaged.program) + "  damaged, skipped: " + damaged.problem;
}

Answer list(bool json) {
    const StoredRules stored = loadRules();
    Answer listed;
    for (const Rule& rule : stored.rules)
        listed.output += (json ? jsonLine(rule) : listLine(rule)) + "\n";
    for (const DamagedRule& damaged : stored.damaged)
        listed.output += (json ? jsonLine(damaged) : damagedLine(damaged)) + "\n";
    return listed;
}

Answer add(const Invocation& invocation) {
    Rule rule{L"", invocation.command->value, invocation.when, !invocation.keepOn};
    std::string problem;
    if (!programOfArgument(invocation.program, rule.program, problem))
        return refusal(problem);
    std::optional<std::wstring> replaced;
    Answer added;
    if (!storeRule(rule, replaced)) {
        added.errors = "lumoauto: the rule cannot be stored in the registry\n";
        added.exitCode = ExitNotStored;
        return added;
    }
    if (replaced)
        added.output +=
            "replaced the rule for " + narrow(rule.program) + " (was: " + narrow(*replaced) + ")\n";
    if (!programFound(rule))
        added.output += narrow(rule.program) + " is not there (yet): the rule is kept, marked " +
                        "\"not found\"\n";
    added.output += listLine(rule) + "\n";
    return added;
}

Answer remove(const Invocation& invocation) {
    std::wstring program;
    std::string problem;
    if (!programOfArgument(invocation.program, program, problem))
        return refusal(problem);
    switch (removeRule(program)) {
    case Removed::NoRule:
        return refusal("no rule for " + narrow(program));
    case Removed::Failed:
        return {"",
                "lumoauto: the rule for " + narrow(program) +
                    " cannot be removed from the registry\n",
                ExitNotStored};
    default:
        return {"removed the rule for " + narrow(program) + "\n", "", ExitDone};
    }
}

} // namespace

bool parseInvocation(const std::vector<std::wstring>& words, Invocation& invocation,
                     std::string& problem) {
    bool actionSet = false;
    for (size_t i = 0; i < words.size(); ++i)
        if (!parseWord(words, i, invocation, actionSet, problem))
            return false;
    return consistent(invocation, problem);
}

std::string listLine(const Rule& rule) {
    const NamedCommand* command = commandOfValue(rule.command);
    return narrow(rule.program) + "  " + std::string(command->name) + "  " +
           std::string(whenName(rule.when)) + "  " + (rule.offAfter ? "off-after" : "keep-on") +
           (programFound(rule) ? "" : "  not found");
}

Answer refusal(const std::string& problem) {
    return {"", "lumoauto: " + problem + "\n\n" + usageText, ExitUsage};
}

Answer answer(const Invocation& invocation) {
    switch (invocation.action) {
    case Action::Add:
        return add(invocation);
    case Action::Remove:
        return remove(invocation);
    case Action::List:
        return list(invocation.json);
    default:
        return {usageText, "", ExitDone};
    }
}
