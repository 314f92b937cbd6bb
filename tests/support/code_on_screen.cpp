#include "support/code_on_screen.h"

#include "code/code_window.h"
#include "support/code_table.h"
#include "support/screen.h"
#include "support/wait.h"
#include "support/windows.h"

bool screenShowsCode(int32_t command) {
    for (const ExpectedCode& code : expectedCodes) {
        if (code.command != command)
            continue;
        const int rows = static_cast<int>(code.rows.size());
        Capture screen = Capture::screen(GetSystemMetrics(SM_CXSCREEN), rows);
        for (int y = 0; y < rows; ++y)
            if (screen.firstMismatch(y, colourOfLetter(code.rows[y])) != -1)
                return false;
        return true;
    }
    return false;
}

bool codeAppears(int32_t command, DWORD timeoutMs) {
    return waitUntil([&] { return screenShowsCode(command); }, timeoutMs);
}

bool codeWindowsGone(DWORD timeoutMs) {
    return waitUntil(
        [] { return topLevelWindowsOfClass(codeWindowClassName, GetCurrentProcessId()).empty(); },
        timeoutMs);
}

void closeCodeWindows() {
    for (HWND window : topLevelWindowsOfClass(codeWindowClassName, GetCurrentProcessId()))
        DestroyWindow(window);
}
