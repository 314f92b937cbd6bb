#include "lumoauto/programs_window.h"

#include "lumoauto/resource.h"
#include "lumoauto/rule_dialog.h"
#include "lumoauto/rule_store.h"
#include "lumoauto/rules_notice.h"
#include "lumoauto/sender.h"
#include "lumoauto/watcher.h"

#include "client/commands.h"
#include "client/controller_client.h"
#include "common/utf8.h"

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>

namespace {

constexpr UINT sentMessage = WM_APP + 2;
constexpr UINT signalledMessage = WM_APP + 3;
// The waiter's id of the rules key's changes; processes have theirs from firstProcessId on.
constexpr WPARAM rulesChangedId = 1;

struct Column {
    const wchar_t* title;
    int width;
};
// In dialog units, as the template places the list.
constexpr Column columns[] = {
    {L"Program", 196}, {L"Command", 70}, {L"When", 50}, {L"Off after", 40}};

struct ProgramsWindow {
    HWND window = nullptr;
    StoredRules stored;
    std::unique_ptr<Sender> sender;
    std::unique_ptr<Waiter> waiter;
    std::unique_ptr<Watcher> watcher;
    std::unique_ptr<RulesNotice> notice;
    bool noticeArmed = false;
    // The status line's last event, and whether it is one of the texts for no event yet.
    std::wstring event;
    bool idle = true;
};

constexpr wchar_t nothingListedText[] = L"No program is listed: nothing is watched.";
constexpr wchar_t watchingText[] =
    L"Watching; no listed program has started or come to the front yet.";

ProgramsWindow programs;

std::wstring labelOf(short command) {
    const NamedCommand* named = commandOfValue(command);
    return named ? widen(named->label) : std::to_wstring(command);
}

std::wstring timeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[16];
    swprintf(text, std::size(text), L"%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

// Beneath the last event, what no longer works, looked at anew with every change.
void showStatus() {
    std::wstring text = programs.event;
    if (!programs.waiter->waiting())
        text += L"\nNot watching: the wait for programs' ends and changed rules stopped; start "
                L"lumoauto again";
    if (programs.watcher->hooks() == Watcher::Hooks::Refused)
        text += L"\nStarts are not seen: the system refused lumoauto's window events";
    if (!programs.noticeArmed)
        text += L"\nRules changed elsewhere are not seen: the rules key cannot be watched";
    SetDlgItemTextW(programs.window, IDC_STATUS, text.c_str());
}

void setStatus(const std::wstring& event) {
    programs.event = event;
    programs.idle = false;
    showStatus();
}

void addRow(HWND list, int row, const std::wstring& program, const std::wstring (&cells)[3]) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(program.c_str());
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int column = 0; column < 3; ++column) {
        item.iSubItem = column + 1;
        item.pszText = const_cast<wchar_t*>(cells[column].c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
}

// The rules first, then the damaged values, each a row.
void fillList() {
    HWND list = GetDlgItem(programs.window, IDC_RULES);
    ListView_DeleteAllItems(list);
    int row = 0;
    for (const Rule& rule : programs.stored.rules)
        addRow(list, row++, rule.program + (programFound(rule) ? L"" : L" (not found)"),
               {labelOf(rule.command), rule.when == When::Front ? L"In front" : L"Running",
                rule.offAfter ? L"Yes" : L"No"});
    for (const DamagedRule& damaged : programs.stored.damaged)
        addRow(list, row++, damaged.program, {L"(damaged, skipped)", L"", L""});
}

void showProblems() {
    std::wstring text;
    for (const DamagedRule& damaged : programs.stored.damaged)
        text += (text.empty() ? L"Skipped, damaged: " : L"; ") + fileNameOf(damaged.program) +
                L" (" + widen(damaged.problem) + L")";
    SetDlgItemTextW(programs.window, IDC_PROBLEMS, text.c_str());
}

void reloadRules() {
    programs.stored = loadRules();
    fillList();
    showProblems();
    if (programs.stored.rules.empty() || programs.idle) {
        programs.event = programs.stored.rules.empty() ? nothingListedText : watchingText;
        programs.idle = true;
    }
    programs.watcher->setRules(programs.stored.rules);
    showStatus();
}

void onChanged(const std::wstring& what, std::optional<short> command) {
    if (!command) {
        setStatus(what + L": nothing to send");
        return;
    }
    if (programs.sender->send(*command, what))
        setStatus(what + L": " + labelOf(*command) + L" sending...");
    else
        setStatus(what + L": " + labelOf(*command) +
                  L" not sent: lumoauto's thread that sends did not start");
}

void onSent(LPARAM result) {
    const std::unique_ptr<Sent> taken(reinterpret_cast<Sent*>(result));
    const std::wstring sent = taken->reason + L": " + labelOf(taken->command);
    switch (taken->outcome) {
    case SendOutcome::Sent:
        setStatus(sent + L" sent at " + timeNow());
        break;
    case SendOutcome::NotRegistered:
        setStatus(sent + L" not sent at " + timeNow() +
                  L": the Lumo Controller is not registered (ZEZIZER.exe /RegServerPerUser, or "
                  L"/RegServer as an administrator)");
        break;
    case SendOutcome::Unreachable:
        setStatus(sent + L" not sent at " + timeNow() +
                  L": the Lumo Controller did not answer; the next change tries again");
        break;
    }
}

void addColumns(HWND list) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(std::size(columns)); ++i) {
        RECT units{0, 0, columns[i].width, 0};
        MapDialogRect(programs.window, &units);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(columns[i].title);
        column.cx = units.right;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
}

void onInitDialog(HWND window) {
    programs.window = window;
    addColumns(GetDlgItem(window, IDC_RULES));
    programs.sender = std::make_unique<Sender>(window, sentMessage);
    programs.waiter = std::make_unique<Waiter>(window, signalledMessage);
    programs.watcher = std::make_unique<Watcher>(window, *programs.waiter, onChanged);
    programs.notice = std::make_unique<RulesNotice>(*programs.waiter, rulesChangedId);
    programs.noticeArmed = programs.notice->arm();
    reloadRules();
}

void onRulesChanged() {
    // An Exit that came while the rule dialog was open has ended the watching meanwhile.
    if (!programs.watcher)
        return;
    programs.noticeArmed = programs.notice->arm();
    reloadRules();
}

// The program of the selected row, a rule's or a damaged value's; nothing when none is selected.
std::optional<std::wstring> selectedProgram(const Rule** rule) {
    const int row = ListView_GetNextItem(GetDlgItem(programs.window, IDC_RULES), -1, LVNI_SELECTED);
    const size_t rules = programs.stored.rules.size();
    *rule = nullptr;
    if (row < 0 || static_cast<size_t>(row) >= rules + programs.stored.damaged.size())
        return std::nullopt;
    if (static_cast<size_t>(row) < rules) {
        *rule = &programs.stored.rules[static_cast<size_t>(row)];
        return (*rule)->program;
    }
    return programs.stored.damaged[static_cast<size_t>(row) - rules].program;
}

void onAdd() {
    const std::optional<std::wstring> program = pickProgram(programs.window);
    if (!program)
        return;
    Rule rule;
    rule.program = *program;
    rule.command = stereoOnCommands().front().value;
    if (editRule(programs.window, rule, false))
        onRulesChanged();
}

void onEdit() {
    const Rule* rule = nullptr;
    const std::optional<std::wstring> program = selectedProgram(&rule);
    if (!program)
        return;
    // A damaged value is made again from its program.
    Rule edited = rule ? *rule : Rule{*program, stereoOnCommands().front().value};
    if (editRule(programs.window, edited, true))
        onRulesChanged();
}

void onRemove() {
    const Rule* rule = nullptr;
    if (const std::optional<std::wstring> program = selectedProgram(&rule)) {
        if (removeRule(*program) == Removed::Failed)
            setStatus(fileNameOf(*program) + L": the rule cannot be removed from the registry");
        onRulesChanged();
    }
}

void onExit() {
    DestroyWindow(programs.window);
}

void onShowRequest() {
    ShowWindow(programs.window, SW_SHOWNORMAL);
    SetForegroundWindow(programs.window);
}

void onCommand(WORD id) {
    switch (id) {
    case IDC_ADD:
        onAdd();
        break;
    case IDC_EDIT:
        onEdit();
        break;
    case IDC_REMOVE:
        onRemove();
        break;
    case IDC_EXIT:
        onExit();
        break;
    case IDCANCEL:
        // Closing the window (its X, Escape) keeps watching.
        ShowWindow(programs.window, SW_HIDE);
        break;
    }
}

void onNotify(const NMHDR& header) {
    if (header.idFrom == IDC_RULES && header.code == NM_DBLCLK)
        onEdit();
}

void onSignalled(WPARAM id) {
    if (id == Waiter::stoppedId)
        showStatus();
    else if (id == rulesChangedId)
        onRulesChanged();
    else
        programs.watcher->onProcessEnded(id);
}

void onDestroy() {
    programs.watcher.reset();
    programs.notice.reset();
    programs.waiter.reset();
    programs.sender.reset();
    PostQuitMessage(0);
}

INT_PTR CALLBACK programsProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(window);
        return TRUE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        onNotify(*reinterpret_cast<const NMHDR*>(lParam));
        return TRUE;
    case WM_TIMER:
        return programs.watcher && programs.watcher->onTimer(wParam);
    case signalledMessage:
        onSignalled(wParam);
        return TRUE;
    case sentMessage:
        onSent(lParam);
        return TRUE;
    case showWindowMessage:
        onShowRequest();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            onExit();
        return TRUE;
    case WM_DESTROY:
        onDestroy();
        return TRUE;
    default:
        return FALSE;
    }
}

bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefDlgProcW;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_LUMOAUTO));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = lumoautoWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

} // namespace

int runProgramsWindow(HINSTANCE instance, bool show) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    if (!registerWindowClass(instance))
        return 1;
    HWND window =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PROGRAMS), nullptr, programsProcedure, 0);
    if (!window)
        return 1;
    if (show)
        ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
