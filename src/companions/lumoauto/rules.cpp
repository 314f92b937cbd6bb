#include "lumoauto/rules.h"

#include "client/commands.h"
#include "common/utf8.h"

#include <windows.h>

namespace {

constexpr std::string_view runningName = "running";
constexpr std::string_view frontName = "front";
constexpr std::string_view offAfterName = "off-after";
constexpr std::string_view keepOnName = "keep-on";
constexpr wchar_t programExtension[] = L".exe";
constexpr size_t settingsWords = 3;

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const size_t end = text.find(' ', at);
        found.push_back(text.substr(at, end - at));
        at = end;
    }
    return found;
}

bool endsWithExe(const std::wstring& path) {
    const size_t length = std::char_traits<wchar_t>::length(programExtension);
    return path.size() > length && sameText(path.substr(path.size() - length), programExtension);
}

std::wstring fullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!size)
        return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    // Short (8.3) folder names become long ones, so that a rule names the program as the system
    // reports a running process; a missing file keeps its path as given.
    const DWORD longSize = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (!longSize)
        return full;
    std::wstring longPath(longSize, L'\0');
    longPath.resize(GetLongPathNameW(full.c_str(), longPath.data(), longSize));
    return longPath.empty() ? full : longPath;
}

} // namespace

const NamedCommand* ruleCommandNamed(std::string_view name) {
    const NamedCommand* command = commandNamed(name);
    const std::span<const NamedCommand> allowed = stereoOnCommands();
    return command && command >= allowed.data() && command < allowed.data() + allowed.size()
               ? command
               : nullptr;
}

std::string ruleCommandNames() {
    std::string names;
    for (const NamedCommand& command : stereoOnCommands())
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    return names;
}

std::string_view whenName(When when) {
    return when == When::Front ? frontName : runningName;
}

std::optional<When> whenNamed(std::string_view name) {
    if (name == runningName)
        return When::Running;
    if (name == frontName)
        return When::Front;
    return std::nullopt;
}

bool isNameOnly(const std::wstring& program) {
    return program.find_first_of(L"\\/:") == std::wstring::npos;
}

std::wstring fileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

const Rule* ruleForProgram(const std::vector<Rule>& rules, const std::wstring& imagePath) {
    const std::wstring fileName = fileNameOf(imagePath);
    const Rule* byName = nullptr;
    for (const Rule& rule : rules) {
        if (!isNameOnly(rule.program) && sameText(rule.program, imagePath))
            return &rule;
        if (!byName && isNameOnly(rule.program) && sameText(rule.program, fileName))
            byName = &rule;
    }
    return byName;
}

bool mayBeListed(const std::vector<Rule>& rules, const std::wstring& fileName) {
    for (const Rule& rule : rules)
        if (sameText(fileNameOf(rule.program), fileName))
            return true;
    return false;
}

std::wstring storedSettings(const Rule& rule) {
    const NamedCommand* command = commandOfValue(rule.command);
    return widen(std::string(command ? command->name : "") + " " +
                 std::string(whenName(rule.when)) + " " +
                 std::string(rule.offAfter ? offAfterName : keepOnName));
}

bool parseStoredSettings(const std::wstring& text, Rule& rule, std::string& problem) {
    const std::vector<std::string> parts = words(narrow(text));
    if (parts.size() != settingsWords) {
        problem = "not \"COMMAND WHEN OFF-AFTER\"";
        return false;
    }
    const NamedCommand* command = ruleCommandNamed(parts[0]);
    if (!command) {
        problem = "unknown command \"" + parts[0] + "\"";
        return false;
    }
    const std::optional<When> when = whenNamed(parts[1]);
    if (!when) {
        problem = "unknown time \"" + parts[1] + "\"";
        return false;
    }
    if (parts[2] != offAfterName && parts[2] != keepOnName) {
        problem = "\"" + parts[2] + "\" is neither off-after nor keep-on";
        return false;
    }
    rule.command = command->value;
    rule.when = *when;
    rule.offAfter = parts[2] == offAfterName;
    return true;
}

bool programOfArgument(const std::wstring& argument, std::wstring& program, std::string& problem) {
    program = isNameOnly(argument) ? argument : fullPath(argument);
    const DWORD attributes = GetFileAttributesW(program.c_str());
    if (!isNameOnly(argument) && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = narrow(program) + " is a folder, not a program";
        return false;
    }
    if (!endsWithExe(program)) {
        problem = narrow(program) + " is not a program (.exe)";
        return false;
    }
    return true;
}

bool programFound(const Rule& rule) {
    if (isNameOnly(rule.program))
        return true;
    const DWORD attributes = GetFileAttributesW(rule.program.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
