#pragma once
// The controller's commands by the names the companions give them.

#include <cstdint>
#include <span>
#include <string_view>

struct NamedCommand {
    // The name on a command line: stereo-normal, ...
    std::string_view name;
    short value;
    // The controller's own name of the command: StereoNormal, ...
    std::string_view typeName;
    // The text of the controller's tray menu: Stereo - Normal, ...
    std::string_view label;
};

inline constexpr short stereoOffCommand = 1000;

std::span<const NamedCommand> namedCommands();
// The stereo-on commands, which a program's rule may send: the first four of namedCommands().
std::span<const NamedCommand> stereoOnCommands();
// By name (an older spelling too); nothing for a name no command has.
const NamedCommand* commandNamed(std::string_view name);
const NamedCommand* commandOfValue(int32_t value);
