#include "lumowatch/options.h"

#include <charconv>
#include <limits>
#include <string_view>

const char usageText[] =
    "usage: lumowatch [--once] [--timeout MS] [--json] [-h | --help | /?]\n"
    "       lumowatch --check [--json]\n"
    "\n"
    "Watches the top rows of the primary screen for the display codes of the Lumo Controller\n"
    "and prints one line for every code when it disappears: when it appeared (ms since\n"
    "lumowatch started), its command, how long it stayed on screen, and whether it was exact\n"
    "or damaged and how. It only reads the screen.\n"
    "\n"
    "  --once          wait for the next code; exit with its command number when it\n"
    "                  disappears (-1 when its command cannot be told), 0 when the time is up\n"
    "                  first\n"
    "  --timeout MS    stop after MS milliseconds\n"
    "  --check         say whether a code can get through on this machine: the primary\n"
    "                  display's mode, HDR, gamma ramp, a full-screen Direct3D program, the\n"
    "                  controller and its automation server; one line for each thing to\n"
    "                  change; exit 0 when nothing stands in the way, 1 when something does\n"
    "  --json          one JSON object a line instead of text\n"
    "  -h, --help, /?  show this text\n";

namespace {

// Milliseconds as the system's timers take them: 0 to 2^31 - 1.
bool parseMilliseconds(std::string_view text, uint32_t& value) {
    constexpr uint32_t largest = std::numeric_limits<int32_t>::max();
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc{} && stop == end && value <= largest;
}

} // namespace

bool parseOptions(std::span<char* const> arguments, WatchOptions& options, std::string& problem) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--once") {
            options.once = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--check") {
            options.check = true;
        } else if (argument == "--help" || argument == "-h" || argument == "/?") {
            options.help = true;
        } else if (argument == "--timeout") {
            uint32_t value = 0;
            if (i + 1 == arguments.size() || !parseMilliseconds(arguments[i + 1], value)) {
                problem = "--timeout needs a number of milliseconds";
                return false;
            }
            options.timeoutMs = value;
            ++i;
        } else {
            problem = "unknown argument \"" + std::string(argument) + "\"";
            return false;
        }
    }
    if (options.check && (options.once || options.timeoutMs)) {
        problem = "--check takes no --once or --timeout";
        return false;
    }
    return true;
}
