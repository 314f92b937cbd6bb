#include "lumoauto/watcher.h"

#include "common/handle.h"

#include <tlhelp32.h>

namespace {

// The foreground is taken once it has stayed for this long, so that a burst of switches between
// windows sends at most one command.
constexpr UINT_PTR settleTimer = 1;
constexpr UINT settleMs = 300;
// Where the foreground event does not come: one look a second, a change taken once two looks
// agree.
constexpr UINT_PTR pollTimer = 2;
constexpr UINT pollMs = 1000;
constexpr DWORD processAccess = PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

// The one watcher of the process, for the system's callbacks, which carry no context of theirs.
Watcher* current = nullptr;

std::wstring imagePath(HANDLE process) {
    wchar_t path[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(std::size(path));
    if (!QueryFullProcessImageNameW(process, 0, path, &size))
        return {};
    return std::wstring(path, size);
}

DWORD foregroundProcess() {
    DWORD processId = 0;
    if (HWND window = GetForegroundWindow())
        GetWindowThreadProcessId(window, &processId);
    return processId;
}

} // namespace

Watcher::Watcher(HWND window, Waiter& waiter, Changed changed)
    : window_(window), waiter_(waiter), changed_(std::move(changed)) {
    current = this;
}

Watcher::~Watcher() {
    unhook();
    for (WPARAM serial : watching_.setRules({}))
        waiter_.remove(serial);
    current = nullptr;
}

// Out of context: the callbacks come to this thread's message loop; nothing is loaded into other
// programs. Both or neither: a start seen without the front, or the front without starts, would
// send half of what the rules ask for.
void Watcher::updateHooks() {
    const bool wanted = !watching_.rules().empty();
    if (!wanted) {
        unhook();
        hooks_ = Hooks::Off;
        return;
    }
    if (hooks_ == Hooks::On)
        return;
    createHook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, onWinEvent, 0,
                                  0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    foregroundHook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                      onWinEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
    hooks_ = createHook_ && foregroundHook_ ? Hooks::On : Hooks::Refused;
    if (hooks_ == Hooks::Refused)
        unhook();
}

void Watcher::unhook() {
    if (createHook_)
        UnhookWinEvent(createHook_);
    if (foregroundHook_)
        UnhookWinEvent(foregroundHook_);
    createHook_ = foregroundHook_ = nullptr;
    KillTimer(window_, settleTimer);
}

void CALLBACK Watcher::onWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                                  DWORD, DWORD) {
    if (!current || object != OBJID_WINDOW || child != CHILDID_SELF)
        return;
    if (event == EVENT_OBJECT_CREATE)
        current->onWindowCreated(window);
    else if (event == EVENT_SYSTEM_FOREGROUND)
        current->onForegroundEvent();
}

void Watcher::setRules(const std::vector<Rule>& rules) {
    for (WPARAM serial : watching_.setRules(rules))
        waiter_.remove(serial);
    updateHooks();
    lookAtRunningProcesses();
    watching_.frontIs(foregroundProcess());
    updatePolling();
    tellAll();
}

void Watcher::onWindowCreated(HWND window) {
    // Only programs' own top-level windows: a control inside a window tells nothing new.
    if (GetAncestor(window, GA_PARENT) != GetDesktopWindow())
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (watching_.worthALook(processId)) {
        look(processId, L"started");
        updatePolling();
        tellAll();
    }
}

void Watcher::onForegroundEvent() {
    foregroundEventsCome_ = true;
    updatePolling();
    SetTimer(window_, settleTimer, settleMs, nullptr);
}

bool Watcher::onTimer(UINT_PTR timer) {
    if (timer == settleTimer) {
        KillTimer(window_, settleTimer);
        watching_.frontIs(foregroundProcess());
        tellAll();
        return true;
    }
    if (timer == pollTimer) {
        samplePolledForeground();
        return true;
    }
    return false;
}

void Watcher::samplePolledForeground() {
    const DWORD now = foregroundProcess();
    if (now == lastLook_) {
        watching_.frontIs(now);
        tellAll();
    }
    lastLook_ = now;
}

void Watcher::look(DWORD processId, const wchar_t* how) {
    Handle process(OpenProcess(processAccess, FALSE, processId));
    if (!process)
        return;
    const std::wstring path = imagePath(process.get());
    const Rule* rule = path.empty() ? nullptr : ruleForProgram(watching_.rules(), path);
    if (!rule)
        return;
    const WPARAM serial = watching_.nextSerial();
    if (waiter_.add(process.release(), serial, true))
        watching_.started(processId, serial, path, *rule, how);
    else
        watching_.refused(processId, path);
}

void Watcher::lookAtRunningProcesses() {
    if (watching_.rules().empty())
        return;
    const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (mayBeListed(watching_.rules(), fileNameOf(entry.szExeFile)) &&
            watching_.worthALook(entry.th32ProcessID))
            look(entry.th32ProcessID, L"is running");
}

void Watcher::onProcessEnded(WPARAM serial) {
    // A signal under way may still be posted after its process was let go: it names none.
    if (watching_.ended(serial))
        lookAtRunningProcesses();
    updatePolling();
    tellAll();
}

void Watcher::updatePolling() {
    const bool needed = !foregroundEventsCome_ && watching_.frontRuleRunning();
    if (needed == polling_)
        return;
    polling_ = needed;
    lastLook_ = 0;
    if (needed)
        SetTimer(window_, pollTimer, pollMs, nullptr);
    else
        KillTimer(window_, pollTimer);
}

void Watcher::tellAll() {
    for (const Watching::Told& told : watching_.takeTold())
        changed_(told.what, told.command);
}
