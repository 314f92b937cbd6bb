#include "support/code_on_screen.h"

#include "code/code_window.h"
#include "support/code_table.h"
#include "support/screen.h"
#include "support/wait.h"
#include "support/windows.h"

#include <optional>

namespace {

// The first row of a code that the screen does not show, and the first column where it does not.
struct WrongRow {
    int row = -1; // -1: the screen shows every row
    int x = -1;
};

std::optional<WrongRow> firstWrongRow(int32_t command) {
    for (const ExpectedCode& code : expectedCodes) {
        if (code.command != command)
            continue;
        const int rows = static_cast<int>(code.rows.size());
        Capture screen = Capture::screen(GetSystemMetrics(SM_CXSCREEN), rows);
        for (int y = 0; y < rows; ++y)
            if (const int x = screen.firstMismatch(y, colourOfLetter(code.rows[y])); x != -1)
                return WrongRow{y, x};
        return WrongRow{};
    }
    return std::nullopt;
}

} // namespace

bool screenShowsCode(int32_t command) {
    const std::optional<WrongRow> wrong = firstWrongRow(command);
    return wrong && wrong->row == -1;
}

testing::AssertionResult codeAppears(int32_t command, DWORD timeoutMs) {
    // The look that came closest is the one worth telling.
    WrongRow closest{0, 0};
    const bool shown = waitUntil(
        [&] {
            const std::optional<WrongRow> wrong = firstWrongRow(command);
            if (wrong && (wrong->row == -1 || wrong->row > closest.row))
                closest = *wrong;
            return wrong && wrong->row == -1;
        },
        timeoutMs);
    if (shown)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the code of " << command
                                       << " did not appear: at best the screen showed the rows "
                                          "above row "
                                       << closest.row << ", which was off from x " << closest.x;
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
