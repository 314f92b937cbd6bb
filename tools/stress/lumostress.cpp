// lumostress: drives one running ZEZIZER.exe with several client processes at once and prints
// what it measured. `lumostress load CLIENTS CALLS` is the driver; the other modes are the
// clients it (or a test) starts as processes of their own.
//
//   load CLIENTS CALLS   start the controller, run the clients, check and print the figures;
//                        exit code 0 when every check held
//   client INDEX CALLS EVENT   CALLS SendCode calls of a mix of commands, then the final command
//                        of the client once the event EVENT-final is set
//   call-forever EVENT   SendCode without end; sets EVENT after the first call
//   hold EVENT           one SendCode, sets EVENT, then keeps the object without end

#include "common/com_ptr.h"
#include "common/handle.h"
#include "support/controller_process.h"
#include "support/registry.h"
#include "support/server_keys.h"
#include "support/test_names.h"
#include "support/wait.h"
#include "support/windows.h"
#include "zezizer.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD codeWindowsGoneMs = 2000;
constexpr DWORD memorySettlesMs = 5000;
// A client that made no progress for this long counts as a hang of the controller.
constexpr DWORD clientsEndMs = 600000;
constexpr DWORD finalCallMs = 30000;
// Private memory may stay this much above its starting level (heap pages kept for reuse).
constexpr SIZE_T privateMemorySlack = 1024 * 1024;
constexpr int warmUpCalls = 100;
// A code window lives one second; while the calls come, one may live this much longer before
// the controller counts as holding its codes on the screen.
constexpr DWORD codeWindowLifeLimitMs = 2000;
constexpr DWORD windowWatchIntervalMs = 20;

// Every command with a meaning and a few values without one.
constexpr short commandMix[] = {1, 2, 3, 4, 5, 6, 7, 1000, 0, 8, 999, -1, 1001, -32768, 32767};

// The command each client sends last, one client after the other, and the stored values they
// leave behind, worked out by hand from the command table: 6 sets "LCD Mode" 2, 2 sets "Active" 1
// and "Reverse" 1, 5 sets "LCD Mode" 1, 1000 sets "Active" 0 and keeps "Reverse".
constexpr short finalCommands[] = {6, 2, 5, 1000};

struct ExpectedValue {
    const char* key;
    const char* name;
    uint32_t value;
};

constexpr ExpectedValue expectedAfterFourClients[] = {
    {testControllerKey, "Active", 0},    {testControllerKey, "Reverse", 1},
    {testControllerKey, "Tested", 0},    {testSettingsKey, "Hardware", 0},
    {testSettingsKey, "Mode", 0},        {testSettingsKey, "LCD Mode", 1},
    {testSettingsKey, "Hot-Key 1", 633}, {testSettingsKey, "Hot-Key 2", 634},
    {testSettingsKey, "Hot-Key 3", 635},
};

std::string ownPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

Handle startSelf(const std::string& arguments) {
    std::string commandLine = "\"";
    commandLine.append(ownPath()).append("\" ").append(arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return Handle();
    CloseHandle(process.hThread);
    return Handle(process.hProcess);
}

// Runs a program of the system to its end; false when it did not start, end in time or succeed.
bool runToEnd(std::string commandLine, DWORD timeoutMs) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    Handle ended(process.hProcess);
    DWORD code = 1;
    return WaitForSingleObject(ended.get(), timeoutMs) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(ended.get(), &code) && code == 0;
}

ComPtr<ILumoCode> connect() {
    ComPtr<ILumoCode> object;
    CoCreateInstance(CLSID_LumoCode, nullptr, CLSCTX_LOCAL_SERVER, IID_ILumoCode, object.putVoid());
    return object;
}

void setEvent(const std::string& name) {
    Handle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str()));
    SetEvent(event.get());
}

// The client of the load: the exit code is the number of calls that did not return S_OK.
int runClient(int index, int calls, const std::string& eventName) {
    ComPtr<ILumoCode> object = connect();
    if (!object) {
        setEvent(eventName + "-ready-" + std::to_string(index));
        return calls + 1;
    }
    std::mt19937 pick(static_cast<unsigned>(index) + 1);
    std::uniform_int_distribution<size_t> anyCommand(0, std::size(commandMix) - 1);
    int failed = 0;
    for (int call = 0; call < calls; ++call)
        failed += object->SendCode(commandMix[anyCommand(pick)]) != S_OK;
    setEvent(eventName + "-ready-" + std::to_string(index));
    Handle finalEvent(
        OpenEventA(SYNCHRONIZE, FALSE, (eventName + "-final-" + std::to_string(index)).c_str()));
    if (WaitForSingleObject(finalEvent.get(), finalCallMs) != WAIT_OBJECT_0)
        return failed + 1;
    failed += object->SendCode(finalCommands[index % std::size(finalCommands)]) != S_OK;
    return failed;
}

int runCallForever(const std::string& eventName) {
    ComPtr<ILumoCode> object = connect();
    if (!object || object->SendCode(0) != S_OK)
        return 1;
    setEvent(eventName);
    for (short value = 0;; value = static_cast<short>(value + 1))
        object->SendCode(value);
}

int runHold(const std::string& eventName) {
    ComPtr<ILumoCode> object = connect();
    if (!object || object->SendCode(0) != S_OK)
        return 1;
    setEvent(eventName);
    Sleep(INFINITE);
    return 0;
}

// Under Wine another process's memory counters read 0; its Linux process, found through the
// Z: drive's /proc by its name and this prefix, tells its anonymous resident memory instead.
const char linuxProcFolder[] = "Z:\\proc\\";

std::string fileText(const std::string& path) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    std::string text;
    if (file.get() == INVALID_HANDLE_VALUE)
        return text;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        text.append(chunk, read);
    return text;
}

// Byte for byte, but without regard to the case of ASCII letters: Wine keeps the name as typed.
bool holdsText(const std::string& text, const std::string& part) {
    auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), sameLetter) !=
           text.end();
}

std::optional<std::string> linuxProcessFolder(const char* programName) {
    char prefix[MAX_PATH];
    if (!GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH))
        return std::nullopt;
    const std::string ownPrefix = std::string("WINEPREFIX=") + prefix + '\0';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(linuxProcFolder) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<std::string> folder;
    do {
        const std::string candidate = std::string(linuxProcFolder) + found.cFileName + "\\";
        if (found.cFileName[0] >= '1' && found.cFileName[0] <= '9' &&
            holdsText(fileText(candidate + "cmdline"), programName) &&
            holdsText(fileText(candidate + "environ"), ownPrefix))
            folder = candidate;
    } while (!folder && FindNextFileA(search, &found));
    FindClose(search);
    return folder;
}

SIZE_T anonymousResidentBytes(const std::string& folder) {
    const std::string status = fileText(folder + "status");
    const size_t line = status.find("RssAnon:");
    if (line == std::string::npos)
        return 0;
    return static_cast<SIZE_T>(
               std::strtoul(status.c_str() + line + std::strlen("RssAnon:"), nullptr, 10)) *
           1024;
}

class Checks {
  public:
    void check(bool held, const std::string& what) {
        std::printf("%s: %s\n", held ? "ok" : "FAILED", what.c_str());
        failed_ = failed_ || !held;
    }
    bool allHeld() const { return !failed_; }

  private:
    bool failed_ = false;
};

// A root of the registry as the system's `reg export` writes it: each key's block of value
// lines by the key's line. Nothing when the export failed.
using RegistryExport = std::map<std::wstring, std::wstring>;
constexpr DWORD registryExportMs = 120000;

std::optional<RegistryExport> exportRegistry(const std::string& root) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string file = std::string(folder) + "lumostress-" +
                             std::to_string(GetCurrentProcessId()) + "-" + root + ".reg";
    if (!runToEnd("reg export " + root + " \"" + file + "\" /y", registryExportMs))
        return std::nullopt;
    const std::string bytes = fileText(file);
    DeleteFileA(file.c_str());
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    RegistryExport blocks;
    const std::wstring blockEnd = L"\r\n\r\n";
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(blockEnd, start), text.size());
        const std::wstring block = text.substr(start, end - start);
        const size_t lineEnd = std::min(block.find(L"\r\n"), block.size());
        blocks[block.substr(0, lineEnd)] = block.substr(lineEnd);
        start = end + blockEnd.size();
    }
    return blocks;
}

// The keys whose blocks differ between the two exports, other than the controller's own.
std::vector<std::wstring> changedKeys(const RegistryExport& before, const RegistryExport& after) {
    const std::wstring ownKey = L"[HKEY_CURRENT_USER\\Software\\Corvane\\Lumo Controller";
    std::vector<std::wstring> changed;
    auto note = [&](const std::wstring& key) {
        if (key.compare(0, ownKey.size(), ownKey) != 0)
            changed.push_back(key);
    };
    for (const auto& [key, values] : before) {
        const auto now = after.find(key);
        if (now == after.end() || now->second != values)
            note(key);
    }
    for (const auto& [key, values] : after)
        if (!before.count(key))
            note(key);
    return changed;
}

struct RegistrySnapshot {
    std::optional<RegistryExport> currentUser;
    std::optional<RegistryExport> classes;
};

RegistrySnapshot snapshotRegistry() {
    return {exportRegistry("HKCU"), exportRegistry("HKCR")};
}

void checkRegistryUnchanged(Checks& checks, const RegistrySnapshot& before,
                            const RegistrySnapshot& after) {
    if (!before.currentUser || !before.classes || !after.currentUser || !after.classes) {
        checks.check(false, "the registry exports with `reg export`");
        return;
    }
    std::vector<std::wstring> changed = changedKeys(*before.currentUser, *after.currentUser);
    for (const std::wstring& key : changedKeys(*before.classes, *after.classes))
        changed.push_back(key);
    for (const std::wstring& key : changed)
        std::printf("changed: %ls\n", key.c_str());
    checks.check(changed.empty(), "nothing in HKCU and HKCR changed but the controller's keys (" +
                                      std::to_string(before.currentUser->size()) + " and " +
                                      std::to_string(before.classes->size()) + " keys compared)");
}

struct ProcessFigures {
    SIZE_T privateBytes = 0;
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    DWORD windows = 0;
};

ProcessFigures figuresOf(HANDLE process, DWORD processId,
                         const std::optional<std::string>& linuxFolder) {
    ProcessFigures figures;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof(memory)))
        figures.privateBytes = memory.PrivateUsage;
    if (figures.privateBytes == 0 && linuxFolder)
        figures.privateBytes = anonymousResidentBytes(*linuxFolder);
    GetProcessHandleCount(process, &figures.handles);
    figures.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    figures.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    figures.windows = static_cast<DWORD>(topLevelWindowsOfProcess(processId).size());
    return figures;
}

void printFigures(const char* when, const ProcessFigures& figures) {
    std::printf("%s: private memory %lu KiB, %lu handles, %lu GDI objects, %lu USER objects, "
                "%lu top-level windows\n",
                when, static_cast<unsigned long>(figures.privateBytes / 1024),
                static_cast<unsigned long>(figures.handles),
                static_cast<unsigned long>(figures.gdiObjects),
                static_cast<unsigned long>(figures.userObjects),
                static_cast<unsigned long>(figures.windows));
}

// Watches the controller's code windows from another thread while the clients call: how many
// there were at once and how long the longest-lived one stayed.
class CodeWindowWatch {
  public:
    explicit CodeWindowWatch(DWORD processId)
        : processId_(processId), thread_([this] { watch(); }) {}
    ~CodeWindowWatch() { stop(); }
    CodeWindowWatch(const CodeWindowWatch&) = delete;
    CodeWindowWatch& operator=(const CodeWindowWatch&) = delete;

    void stop() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    size_t mostAtOnce() const { return mostAtOnce_; }
    DWORD longestLifeMs() const {
        DWORD longest = 0;
        for (const auto& [window, life] : lives_)
            longest = std::max(longest, life.lastSeen - life.firstSeen);
        return longest;
    }

  private:
    struct Life {
        DWORD firstSeen;
        DWORD lastSeen;
    };

    void watch() {
        while (!stopping_) {
            const std::vector<HWND> windows =
                topLevelWindowsOfClass(controllerCodeWindowClass, processId_);
            const DWORD now = GetTickCount();
            mostAtOnce_ = std::max(mostAtOnce_, windows.size());
            for (HWND window : windows)
                lives_.try_emplace(window, Life{now, now}).first->second.lastSeen = now;
            Sleep(windowWatchIntervalMs);
        }
    }

    DWORD processId_;
    std::atomic<bool> stopping_{false};
    size_t mostAtOnce_ = 0;
    // A handle the system hands out again would read as one long life: acceptable for a limit
    // that only catches windows kept for seconds.
    std::map<HWND, Life> lives_;
    std::thread thread_;
};

struct Clients {
    std::vector<Handle> processes;
    std::vector<Handle> readyEvents;
    std::vector<Handle> finalEvents;
};

Clients startClients(int count, int calls, const std::string& eventName) {
    Clients clients;
    for (int index = 0; index < count; ++index) {
        const std::string suffix = std::to_string(index);
        clients.readyEvents.emplace_back(
            CreateEventA(nullptr, TRUE, FALSE, (eventName + "-ready-" + suffix).c_str()));
        clients.finalEvents.emplace_back(
            CreateEventA(nullptr, TRUE, FALSE, (eventName + "-final-" + suffix).c_str()));
        clients.processes.push_back(
            startSelf("client " + suffix + " " + std::to_string(calls) + " " + eventName));
    }
    return clients;
}

// Waits for every client at its final call, then lets them make it one after the other. The
// number of calls that did not return S_OK, or nothing when a client hung or did not start.
std::optional<int> finishClients(Clients& clients) {
    std::vector<HANDLE> ready;
    for (const Handle& event : clients.readyEvents)
        ready.push_back(event.get());
    if (WaitForMultipleObjects(static_cast<DWORD>(ready.size()), ready.data(), TRUE,
                               clientsEndMs) != WAIT_OBJECT_0)
        return std::nullopt;
    int failed = 0;
    for (size_t index = 0; index < clients.processes.size(); ++index) {
        SetEvent(clients.finalEvents[index].get());
        HANDLE process = clients.processes[index].get();
        DWORD code = 0;
        if (!process || WaitForSingleObject(process, finalCallMs) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process, &code))
            return std::nullopt;
        failed += static_cast<int>(code);
    }
    return failed;
}

std::optional<int> runClients(int count, int calls, const std::string& eventName) {
    Clients clients = startClients(count, calls, eventName);
    return finishClients(clients);
}

// The stored value as text, "nothing" when it is missing or no 32-bit number.
std::string storedText(const char* key, const char* name) {
    const std::optional<StoredValue> stored = readValue(key, name);
    const std::optional<uint32_t> value = stored ? stored->dword() : std::nullopt;
    return value ? std::to_string(*value) : "nothing";
}

void checkStoredSettings(Checks& checks) {
    for (const ExpectedValue& expected : expectedAfterFourClients) {
        const std::string seen = storedText(expected.key, expected.name);
        const std::string wanted = std::to_string(expected.value);
        checks.check(seen == wanted, std::string("stored \"") + expected.name + "\" is " + wanted +
                                         " (read " + seen + ")");
    }
}

int runLoad(int clientCount, int calls) {
    Checks checks;
    removeServerKeys();
    deleteCorvaneKey();
    ServerRegistration registration;
    checks.check(registration.succeeded(), "the server registers");
    ControllerProcess controllerProcess;
    checks.check(controllerProcess.waitForMainWindow() != nullptr, "the controller starts");
    if (!checks.allHeld())
        return 1;
    Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                               controllerProcess.processId()));
    const DWORD pid = controllerProcess.processId();
    const std::optional<std::string> linuxFolder = linuxProcessFolder("ZEZIZER.exe");
    auto codeWindowsGone = [&] {
        return topLevelWindowsOfClass(controllerCodeWindowClass, pid).empty();
    };
    const std::string eventName = "lumostress-" + std::to_string(GetCurrentProcessId());

    const RegistrySnapshot registryBefore = snapshotRegistry();
    // The first calls load the type library, register the code window class and take the heap to
    // the size that as many clients calling at once need: the starting level is taken after them.
    checks.check(runClients(clientCount, warmUpCalls, eventName + "-warm") == 0,
                 "warm-up calls S_OK");
    waitUntil(codeWindowsGone, 2 * codeWindowsGoneMs);
    const ProcessFigures before = figuresOf(process.get(), pid, linuxFolder);
    printFigures("before", before);

    const DWORD start = GetTickCount();
    CodeWindowWatch watch(pid);
    const std::optional<int> failed = runClients(clientCount, calls, eventName);
    const DWORD lastCall = GetTickCount();
    watch.stop();
    const int total = clientCount * (calls + 1);
    checks.check(failed.has_value(), "every client ended (no hang)");
    checks.check(failed == 0, std::to_string(total) + " calls returned S_OK (" +
                                  std::to_string(failed.value_or(-1)) + " did not)");
    std::printf("%d clients x %d calls + 1 final call each in %lu ms: %.0f calls/s\n", clientCount,
                calls, static_cast<unsigned long>(lastCall - start),
                total * 1000.0 / std::max<DWORD>(lastCall - start, 1));

    std::printf("at most %zu code windows at once during the calls\n", watch.mostAtOnce());
    checks.check(watch.longestLifeMs() <= codeWindowLifeLimitMs,
                 "no code window stayed longer than 2000 ms while the calls came (longest " +
                     std::to_string(watch.longestLifeMs()) + " ms)");
    const bool gone = waitUntil(codeWindowsGone, codeWindowsGoneMs);
    const DWORD goneAfter = GetTickCount() - lastCall;
    checks.check(gone, "no code window left " + std::to_string(goneAfter) +
                           " ms after the last call (at most 2000)");
    checks.check(controllerProcess.running() && mainWindowOf(pid), "the controller still runs");
    if (clientCount == static_cast<int>(std::size(finalCommands)))
        checkStoredSettings(checks);

    ProcessFigures after = figuresOf(process.get(), pid, linuxFolder);
    waitUntil(
        [&] {
            after = figuresOf(process.get(), pid, linuxFolder);
            return after.privateBytes <= before.privateBytes + privateMemorySlack;
        },
        memorySettlesMs);
    printFigures("after", after);
    if (before.privateBytes == 0)
        std::puts("not checked: the private memory of another process reads 0 here");
    else
        checks.check(after.privateBytes <= before.privateBytes + privateMemorySlack,
                     "private memory back within 1 MiB of its starting level (" +
                         std::to_string((static_cast<long long>(after.privateBytes) -
                                         static_cast<long long>(before.privateBytes)) /
                                        1024) +
                         " KiB)");
    checks.check(after.handles <= before.handles, "handle count back to its starting level");
    checks.check(after.windows <= before.windows, "window count back to its starting level");
    checks.check(after.gdiObjects <= before.gdiObjects && after.userObjects <= before.userObjects,
                 "GDI and USER object counts back to their starting level");
    checks.check(controllerProcess.exit().has_value(), "the controller ends through Exit");
    checkRegistryUnchanged(checks, registryBefore, snapshotRegistry());
    removeServerKeys();
    return checks.allHeld() ? 0 : 1;
}

// ZEZIZER_STRESS_CALLS, when set, replaces the number of calls of the command line: `make stress`
// runs the quick test's command with the full count.
int callsPerClient(const char* argument) {
    const char* full = std::getenv("ZEZIZER_STRESS_CALLS");
    return std::atoi(full ? full : argument);
}

int usage() {
    std::fputs("usage: lumostress load CLIENTS CALLS\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string mode = argv[1];
    // Every line at once, wherever stdout leads.
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    int result = 2;
    if (mode == "load" && argc == 4)
        result = runLoad(std::atoi(argv[2]), callsPerClient(argv[3]));
    else if (mode == "client" && argc == 5)
        result = runClient(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    else if (mode == "call-forever")
        result = runCallForever(argv[2]);
    else if (mode == "hold")
        result = runHold(argv[2]);
    else
        result = usage();
    CoUninitialize();
    return result;
}
