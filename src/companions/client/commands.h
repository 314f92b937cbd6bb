#pragma once
// The controller's commands by the names the companions give them, from the command table.

#include "code/command_table.h"

#include <cstdint>
#include <span>
#include <string_view>

inline constexpr short stereoOffCommand = StereoOff;

std::span<const NamedCommand> namedCommands();
// The stereo-on commands, which a program's rule may send: the first four of namedCommands().
std::span<const NamedCommand> stereoOnCommands();
// By name (an older spelling too); nothing for a name no command has.
const NamedCommand* commandNamed(std::string_view name);
const NamedCommand* commandOfValue(int32_t value);
