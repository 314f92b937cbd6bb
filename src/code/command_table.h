#pragma once
// What each command is, in one table: its value, its name on a command line, its family and the
// colours of its two command rows below the family's leading rows. The code's painter, the
// decoder that reads codes back, the companions' command names and the bench all read it here.

#include "code/controller_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

enum class CodeColour : uint8_t { Red, Green, Yellow, Black };

// The colour as 0x00RRGGBB, the layout of a pixel in a 32-bit DIB section.
constexpr uint32_t codeColourRgb(CodeColour colour) {
    switch (colour) {
    case CodeColour::Red:
        return 0xFF0000;
    case CodeColour::Green:
        return 0x00FF00;
    case CodeColour::Yellow:
        return 0xFFFF00;
    case CodeColour::Black:
        break;
    }
    return 0x000000;
}

enum class CodeFamily { Stereo, Lcd };

constexpr size_t commandRowCount = 2;

struct NamedCommand {
    // The name on a command line: stereo-normal, ...
    std::string_view name;
    short value;
    // The controller's own name of the command: StereoNormal, ...
    std::string_view typeName;
    // The text of the controller's tray menu: Stereo - Normal, ...
    std::string_view label;
    CodeFamily family;
    // The two command rows, top to bottom.
    std::array<CodeColour, commandRowCount> rows;
};

namespace command_table_detail {
using C = CodeColour;
inline constexpr CodeColour stereoLeading[] = {C::Red,    C::Red,    C::Green,  C::Green,
                                               C::Yellow, C::Yellow, C::Yellow, C::Yellow};
inline constexpr CodeColour lcdLeading[] = {C::Red,    C::Red,    C::Red,    C::Red,
                                            C::Red,    C::Red,    C::Green,  C::Green,
                                            C::Yellow, C::Yellow, C::Yellow, C::Yellow};
using F = CodeFamily;
// The stereo-on commands come first: a program's rule may send them. One command a line:
// clang-format off
inline constexpr NamedCommand commands[] = {
    {"stereo-normal",  StereoNormal,   "StereoNormal",   "Stereo - Normal",    F::Stereo, {C::Red, C::Red}},
    {"stereo-reverse", StereoReverse,  "StereoReverse",  "Stereo - Reverse",   F::Stereo, {C::Black, C::Red}},
    {"stereo-resync",  StereoOnResync, "StereoOnResync", "Stereo - On/Resync", F::Stereo, {C::Green, C::Green}},
    {"stereo-on",      StereoOn,       "StereoOn",       "Stereo - On",        F::Stereo, {C::Yellow, C::Yellow}},
    {"lcd1",           LcdMode1,       "LcdMode1",       "LCD Mode 1",         F::Lcd,    {C::Green, C::Red}},
    {"lcd2",           LcdMode2,       "LcdMode2",       "LCD Mode 2",         F::Lcd,    {C::Red, C::Green}},
    {"lcd-off",        LcdModeOff,     "LcdModeOff",     "LCD Mode Off",       F::Lcd,    {C::Black, C::Green}},
    {"stereo-off",     StereoOff,      "StereoOff",      "Stereo - Off",       F::Stereo, {C::Black, C::Black}},
};
// clang-format on
} // namespace command_table_detail

constexpr size_t stereoOnCommandCount = 4;

constexpr std::span<const NamedCommand> commandTable() {
    return command_table_detail::commands;
}

// The rows above the command rows, top to bottom.
constexpr std::span<const CodeColour> leadingRows(CodeFamily family) {
    if (family == CodeFamily::Lcd)
        return command_table_detail::lcdLeading;
    return command_table_detail::stereoLeading;
}

constexpr int codeRowCount(CodeFamily family) {
    return static_cast<int>(leadingRows(family).size() + commandRowCount);
}

constexpr int stereoCodeRows = codeRowCount(CodeFamily::Stereo);
constexpr int lcdCodeRows = codeRowCount(CodeFamily::Lcd);

// The row of the table for a command; nothing for a value no command has.
constexpr const NamedCommand* findCommand(int32_t value) {
    for (const NamedCommand& command : commandTable())
        if (command.value == value)
            return &command;
    return nullptr;
}

// The colour of row `row` (from 0) of a command's code.
constexpr CodeColour codeRowColour(const NamedCommand& command, int row) {
    const std::span<const CodeColour> leading = leadingRows(command.family);
    const size_t index = static_cast<size_t>(row);
    if (index < leading.size())
        return leading[index];
    return command.rows[index - leading.size()];
}
