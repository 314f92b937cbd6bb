#include "lumoauto/watcher.h"

#include <tlhelp32.h>

#include <algorithm>

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
    if (createHook_)
        UnhookWinEvent(createHook_);
    if (foregroundHook_)
        UnhookWinEvent(foregroundHook_);
    while (!watched_.empty())
        stopWatching(watched_.begin());
    current = nullptr;
}

void Watcher::hook() {
    // Out of context: the callbacks come to this thread's message loop; nothing is loaded into
    // other programs.
    createHook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, onWinEvent, 0,
                                  0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    foregroundHook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                      onWinEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
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
    const bool first = rules_.empty() && !createHook_;
    rules_ = rules;
    if (first)
        hook();
    for (auto watched = watched_.begin(); watched != watched_.end();) {
        const Rule* rule = ruleForProgram(rules_, watched->path);
        if (!rule) {
            const std::wstring program = fileNameOf(watched->path);
            stopWatching(watched);
            tell(program, L"is no longer listed");
            continue;
        }
        takeRule(watched++, *rule);
    }
    lookAtRunningProcesses();
    foregroundMoved();
    updatePolling();
}

void Watcher::takeRule(std::vector<Watched>::iterator watched, const Rule& rule) {
    const bool changed = rule.command != watched->rule.command || rule.when != watched->rule.when ||
                         rule.offAfter != watched->rule.offAfter;
    watched->rule = rule;
    if (!changed)
        return;
    switcher_.release(watched->processId);
    if (frontProcess_ == watched->processId)
        frontProcess_ = 0;
    if (rule.when == When::Running)
        switcher_.claim(watched->processId, rule.command, rule.offAfter);
    tell(fileNameOf(watched->path), L"has a changed rule");
}

void Watcher::onWindowCreated(HWND window) {
    // Only programs' own top-level windows: a control inside a window tells nothing new.
    if (GetAncestor(window, GA_PARENT) != GetDesktopWindow())
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId && !watchedProcess(processId))
        look(processId, L"started");
}

void Watcher::onForegroundEvent() {
    foregroundEventsCome_ = true;
    updatePolling();
    SetTimer(window_, settleTimer, settleMs, nullptr);
}

bool Watcher::onTimer(UINT_PTR timer) {
    if (timer == settleTimer) {
        KillTimer(window_, settleTimer);
        foregroundMoved();
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
    if (now == lastLook_)
        foregroundMoved();
    lastLook_ = now;
}

void Watcher::look(DWORD processId, const wchar_t* how) {
    HANDLE process = OpenProcess(processAccess, FALSE, processId);
    if (!process)
        return;
    const std::wstring path = imagePath(process);
    const Rule* rule = path.empty() ? nullptr : ruleForProgram(rules_, path);
    if (!rule) {
        CloseHandle(process);
        return;
    }
    watch(processId, process, *rule, path, how);
}

void Watcher::lookAtRunningProcesses() {
    if (rules_.empty())
        return;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (mayBeListed(rules_, fileNameOf(entry.szExeFile)) &&
            !watchedProcess(entry.th32ProcessID))
            look(entry.th32ProcessID, L"is running");
    CloseHandle(snapshot);
}

void Watcher::watch(DWORD processId, HANDLE process, const Rule& rule, const std::wstring& path,
                    const wchar_t* how) {
    const Watched watched{processId, nextSerial_++, rule, path};
    if (!waiter_.add(process, watched.serial, true))
        return;
    watched_.push_back(watched);
    if (rule.when == When::Running)
        switcher_.claim(processId, rule.command, rule.offAfter);
    tell(fileNameOf(path), how);
    updatePolling();
}

void Watcher::stopWatching(std::vector<Watched>::iterator watched) {
    // A signal under way may still be posted: it then names no process.
    waiter_.remove(watched->serial);
    switcher_.release(watched->processId);
    if (frontProcess_ == watched->processId)
        frontProcess_ = 0;
    watched_.erase(watched);
}

void Watcher::onProcessEnded(WPARAM serial) {
    const auto found = std::find_if(watched_.begin(), watched_.end(),
                                    [&](const Watched& w) { return w.serial == serial; });
    if (found == watched_.end())
        return;
    const std::wstring program = fileNameOf(found->path);
    stopWatching(found);
    tell(program, L"ended");
    updatePolling();
}

Watcher::Watched* Watcher::watchedProcess(DWORD processId) {
    const auto found = std::find_if(watched_.begin(), watched_.end(),
                                    [&](const Watched& w) { return w.processId == processId; });
    return found == watched_.end() ? nullptr : &*found;
}

// The front goes to a program with a front rule, or from it to anything else. No foreground
// window at all (between two windows) changes nothing.
void Watcher::foregroundMoved() {
    const DWORD now = foregroundProcess();
    if (!now || now == frontProcess_)
        return;
    Watched* front = watchedProcess(now);
    if (front && front->rule.when != When::Front)
        front = nullptr;
    if (!front && !frontProcess_)
        return;
    if (frontProcess_) {
        Watched* left = watchedProcess(frontProcess_);
        switcher_.release(frontProcess_);
        frontProcess_ = 0;
        if (!front && left)
            tell(fileNameOf(left->path), L"left the front");
    }
    if (front) {
        frontProcess_ = now;
        switcher_.claim(now, front->rule.command, front->rule.offAfter);
        tell(fileNameOf(front->path), L"came to the front");
    }
}

void Watcher::updatePolling() {
    const bool needed = !foregroundEventsCome_ &&
                        std::any_of(watched_.begin(), watched_.end(),
                                    [](const auto& w) { return w.rule.when == When::Front; });
    if (needed == polling_)
        return;
    polling_ = needed;
    lastLook_ = 0;
    if (needed)
        SetTimer(window_, pollTimer, pollMs, nullptr);
    else
        KillTimer(window_, pollTimer);
}

void Watcher::tell(const std::wstring& program, const wchar_t* what) {
    changed_(program + L" " + what, switcher_.decide());
}
