// lumosend: switches the glasses from a command line, a batch file or a game launcher, through
// the running controller's automation class ZEZIZER.LumoCode. With --run it switches them on for
// the time a program runs.

#include "client/commands.h"
#include "client/controller_client.h"
#include "common/handle.h"

#include <windows.h>

#include <shellapi.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum ExitCode : int {
    ExitDone = 0,
    ExitUsage = 2,
    ExitNotRegistered = 3,
    ExitUnreachable = 4,
    ExitNoProgram = 5,
};

constexpr char usage[] =
    "usage: lumosend [--display-code] COMMAND\n"
    "       lumosend --run COMMAND [--keep-on] -- PROGRAM [ARGUMENTS...]\n"
    "\n"
    "Sends one command to the glasses through the running Lumo Controller.\n"
    "COMMAND is one of\n"
    "  stereo-normal   stereo on, normal eye order (interleaved)\n"
    "  stereo-reverse  stereo on, reversed eye order (interleaved)\n"
    "  stereo-resync   stereo on / resync (page flip)\n"
    "  stereo-on       stereo on (over/under)\n"
    "  stereo-off      stereo off\n"
    "  lcd1, lcd2, lcd-off   the glasses' LCD mode\n"
    "  NUMBER          any command number from -32768 to 32767\n"
    "\n"
    "  --run COMMAND -- PROGRAM [ARGUMENTS...]\n"
    "                  send COMMAND, start the program, wait for its end, send stereo-off;\n"
    "                  lumosend then exits with the program's exit code\n"
    "  --keep-on       with --run: send nothing when the program ends\n"
    "  --display-code  set the DisplayCode property instead of calling SendCode\n"
    "  -h, --help, /?  show this text\n"
    "\n"
    "Exit codes: 0 sent, 2 bad arguments, 3 ZEZIZER.LumoCode is not registered,\n"
    "4 the controller cannot be reached, 5 the program cannot be started; with --run the\n"
    "program's own exit code once it has run.\n";

std::optional<short> parseCommand(const std::wstring& argument) {
    // Command names and numbers are plain ASCII.
    std::string text;
    for (const wchar_t c : argument) {
        if (c > 0x7F)
            return std::nullopt;
        text += static_cast<char>(c);
    }
    if (const NamedCommand* command = commandNamed(text))
        return command->value;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < SHRT_MIN || value > SHRT_MAX)
        return std::nullopt;
    return static_cast<short>(value);
}

struct Arguments {
    bool help = false;
    bool property = false;
    bool run = false;
    bool keepOn = false;
    std::optional<short> command;
    // With --run: the program and its arguments.
    std::vector<std::wstring> program;
};

bool parseOption(const std::vector<std::wstring>& words, size_t& i, Arguments& arguments) {
    const std::wstring& word = words[i];
    if (word == L"--help" || word == L"-h" || word == L"/?")
        arguments.help = true;
    else if (word == L"--display-code")
        arguments.property = true;
    else if (word == L"--keep-on")
        arguments.keepOn = true;
    else if (word == L"--run" && !arguments.command && i + 1 < words.size() &&
             (arguments.command = parseCommand(words[++i])))
        arguments.run = true;
    else if (!arguments.command && (arguments.command = parseCommand(word)))
        return true;
    else
        return false;
    return true;
}

std::optional<Arguments> parseArguments(const std::vector<std::wstring>& words) {
    Arguments arguments;
    size_t i = 1;
    for (; i < words.size() && words[i] != L"--"; ++i)
        if (!parseOption(words, i, arguments))
            return std::nullopt;
    if (i < words.size())
        arguments.program.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
    if (arguments.help)
        return arguments;
    // --run takes a program; a plain command takes nothing after it.
    if (!arguments.command || arguments.run == arguments.program.empty() ||
        (arguments.keepOn && !arguments.run) || (arguments.run && arguments.property))
        return std::nullopt;
    return arguments;
}

std::vector<std::wstring> commandLineWords() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> result;
    if (words) {
        result.assign(words, words + count);
        LocalFree(words);
    }
    return result;
}

int send(bool property, short command) {
    const SendResult result = sendToController(command, property);
    if (result.outcome == SendOutcome::NotRegistered) {
        std::fprintf(stderr, "lumosend: ZEZIZER.LumoCode is not registered; run "
                             "\"ZEZIZER.exe /RegServerPerUser\" once for yourself, or "
                             "\"ZEZIZER.exe /RegServer\" as an administrator for every user.\n");
        return ExitNotRegistered;
    }
    if (result.outcome == SendOutcome::Unreachable) {
        std::fprintf(stderr, "lumosend: cannot reach the Lumo Controller (error 0x%08lX).\n",
                     static_cast<unsigned long>(result.error));
        return ExitUnreachable;
    }
    return ExitDone;
}

// One argument as the program's C runtime splits its command line back: quoted when it has a
// blank or a quote, backslashes doubled before a quote.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring text = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, L'\\');
    return text + L"\"";
}

// Ctrl+C reaches the program, which decides; lumosend stays to switch stereo off after it.
BOOL WINAPI outlastControlKeys(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// The program's exit code, or nothing when it could not be started.
std::optional<DWORD> runProgram(const std::vector<std::wstring>& program) {
    std::wstring commandLine;
    for (const std::wstring& word : program)
        commandLine += (commandLine.empty() ? L"" : L" ") + quoted(word);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        std::fprintf(stderr, "lumosend: cannot start %ls (error %lu).\n", program.front().c_str(),
                     GetLastError());
        return std::nullopt;
    }
    const Handle thread(started.hThread), process(started.hProcess);
    SetConsoleCtrlHandler(outlastControlKeys, TRUE);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    return exitCode;
}

// The program runs whether or not the controller answers: the game matters more than the glasses.
int run(const Arguments& arguments) {
    send(false, *arguments.command);
    const std::optional<DWORD> exitCode = runProgram(arguments.program);
    if (!arguments.keepOn)
        send(false, stereoOffCommand);
    return exitCode ? static_cast<int>(*exitCode) : ExitNoProgram;
}

} // namespace

int main() {
    const std::optional<Arguments> arguments = parseArguments(commandLineWords());
    if (!arguments) {
        std::fputs(usage, stderr);
        return ExitUsage;
    }
    if (arguments->help) {
        std::fputs(usage, stdout);
        return ExitDone;
    }
    const ComApartment apartment;
    if (arguments->run)
        return run(*arguments);
    return send(arguments->property, *arguments->command);
}
