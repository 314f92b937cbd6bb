#include "lumoauto/rule_dialog.h"

#include "lumoauto/resource.h"
#include "lumoauto/rule_store.h"

#include "client/commands.h"
#include "common/utf8.h"

#include <commdlg.h>

namespace {

constexpr wchar_t programFilter[] = L"Programs (*.exe)\0*.exe\0";
constexpr wchar_t caption[] = L"Vorn Controller Programs";
constexpr const wchar_t* whenLabels[] = {L"While it runs", L"While it is in front"};
constexpr size_t pathSize = 32768;

struct Editing {
    Rule rule;
    std::wstring before;
};

std::wstring textOf(HWND dialog, int control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(dialog, control))) + 1,
                      L'\0');
    text.resize(static_cast<size_t>(
        GetDlgItemTextW(dialog, control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void fillCombo(HWND dialog, int control, const std::wstring& item) {
    SendDlgItemMessageW(dialog, control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void onInitDialog(HWND dialog, Editing& editing) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&editing));
    SetDlgItemTextW(dialog, IDC_PROGRAM, editing.rule.program.c_str());
    int chosen = 0;
    for (const NamedCommand& command : stereoOnCommands()) {
        if (command.value == editing.rule.command)
            chosen = static_cast<int>(&command - stereoOnCommands().data());
        fillCombo(dialog, IDC_COMMAND, widen(command.label));
    }
    SendDlgItemMessageW(dialog, IDC_COMMAND, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    for (const wchar_t* label : whenLabels)
        fillCombo(dialog, IDC_WHEN, label);
    SendDlgItemMessageW(dialog, IDC_WHEN, CB_SETCURSEL, editing.rule.when == When::Front ? 1 : 0,
                        0);
    CheckDlgButton(dialog, IDC_OFF_AFTER, editing.rule.offAfter ? BST_CHECKED : BST_UNCHECKED);
}

void onBrowse(HWND dialog) {
    if (const std::optional<std::wstring> picked = pickProgram(dialog, textOf(dialog, IDC_PROGRAM)))
        SetDlgItemTextW(dialog, IDC_PROGRAM, picked->c_str());
}

// Stores the rule as shown; false (with a message box) when the program is not one.
bool onOk(HWND dialog, Editing& editing) {
    Rule rule;
    std::string problem;
    if (!programOfArgument(textOf(dialog, IDC_PROGRAM), rule.program, problem)) {
        MessageBoxW(dialog, widen(problem).c_str(), caption, MB_OK | MB_ICONWARNING);
        return false;
    }
    const LRESULT command = SendDlgItemMessageW(dialog, IDC_COMMAND, CB_GETCURSEL, 0, 0);
    rule.command = stereoOnCommands()[static_cast<size_t>(command < 0 ? 0 : command)].value;
    rule.when = SendDlgItemMessageW(dialog, IDC_WHEN, CB_GETCURSEL, 0, 0) == 1 ? When::Front
                                                                               : When::Running;
    rule.offAfter = IsDlgButtonChecked(dialog, IDC_OFF_AFTER) == BST_CHECKED;
    std::optional<std::wstring> replaced;
    if (!storeRule(rule, replaced)) {
        MessageBoxW(dialog, L"The rule cannot be stored in the registry.", caption,
                    MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!editing.before.empty() && !sameText(editing.before, rule.program))
        removeRule(editing.before);
    editing.rule = rule;
    return true;
}

INT_PTR CALLBACK ruleDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* editing = reinterpret_cast<Editing*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog, *reinterpret_cast<Editing*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_BROWSE)
            onBrowse(dialog);
        else if (LOWORD(wParam) == IDOK && onOk(dialog, *editing))
            EndDialog(dialog, IDOK);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

std::optional<std::wstring> pickProgram(HWND owner, const std::wstring& start) {
    std::wstring path(pathSize, L'\0');
    start.copy(path.data(), pathSize - 1);
    OPENFILENAMEW picker{};
    picker.lStructSize = sizeof(picker);
    picker.hwndOwner = owner;
    picker.lpstrFilter = programFilter;
    picker.lpstrFile = path.data();
    picker.nMaxFile = static_cast<DWORD>(pathSize);
    picker.lpstrDefExt = L"exe";
    picker.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&picker))
        return std::nullopt;
    return std::wstring(path.c_str());
}

std::optional<Rule> editRule(HWND owner, const Rule& rule, bool stored) {
    Editing editing{rule, stored ? rule.program : L""};
    if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_RULE), owner,
                        ruleDialogProcedure, reinterpret_cast<LPARAM>(&editing)) != IDOK)
        return std::nullopt;
    return editing.rule;
}
