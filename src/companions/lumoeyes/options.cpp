#include "lumoeyes/options.h"

#include <cwchar>

const char usageText[] =
    "usage: lumoeyes [interleaved | over-under | page-flip]\n"
    "       lumoeyes --timing SECONDS [--json]\n"
    "\n"
    "Switches stereo on through the running Lumo Controller and shows a test picture over the\n"
    "whole screen: each eye reads only its own letter, L for the left eye and R for the right,\n"
    "and the disc floats in front of the grid when the eyes are in the right order. Without a\n"
    "mode it tests the controller's own mode. R swaps the eyes, Esc ends the test and puts the\n"
    "glasses back as they were.\n"
    "\n"
    "  --timing SECONDS  show the page-flip picture for that long and report how many refreshes\n"
    "                    of the display had no new frame (each swaps the eyes until the next\n"
    "                    resync): refresh rate, frames presented, refreshes missed, the longest\n"
    "                    run without a miss\n"
    "  --json            with --timing: the report as one JSON object\n"
    "  -h, --help, /?    show this text\n"
    "\n"
    "Exit codes: 0 done (with --timing: no refresh missed), 1 refreshes were missed, 2 bad\n"
    "arguments, 3 the picture or the measurement cannot run on this system.\n";

namespace {

std::optional<StereoMode> modeNamed(const std::wstring& word) {
    if (word == L"interleaved")
        return ModeInterleaved;
    if (word == L"over-under")
        return ModeOverUnder;
    if (word == L"page-flip")
        return ModePageFlip;
    return std::nullopt;
}

int secondsIn(const std::wstring& word) {
    wchar_t* end = nullptr;
    const long value = std::wcstol(word.c_str(), &end, 10);
    if (word.empty() || *end != L'\0' || value < 1 || value > maxTimingSeconds)
        return 0;
    return static_cast<int>(value);
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::wstring>& words) {
    Options options;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (word == L"--help" || word == L"-h" || word == L"/?")
            options.help = true;
        else if (word == L"--json" && !options.json)
            options.json = true;
        else if (word == L"--timing" && !options.timingSeconds && i + 1 < words.size() &&
                 (options.timingSeconds = secondsIn(words[++i])))
            continue;
        else if (!options.mode && (options.mode = modeNamed(word)))
            continue;
        else
            return std::nullopt;
    }
    if (options.help)
        return options;
    // The measurement is of page flip; --json belongs to it.
    if (options.json && !options.timingSeconds)
        return std::nullopt;
    if (options.timingSeconds && options.mode && *options.mode != ModePageFlip)
        return std::nullopt;
    return options;
}
