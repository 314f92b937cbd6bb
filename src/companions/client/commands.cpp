#include "client/commands.h"

namespace {

constexpr NamedCommand commands[] = {
    {"stereo-normal", 1, "StereoNormal", "Stereo - Normal"},
    {"stereo-reverse", 2, "StereoReverse", "Stereo - Reverse"},
    {"stereo-resync", 3, "StereoOnResync", "Stereo - On/Resync"},
    {"stereo-on", 4, "StereoOn", "Stereo - On"},
    {"lcd1", 5, "LcdMode1", "LCD Mode 1"},
    {"lcd2", 6, "LcdMode2", "LCD Mode 2"},
    {"lcd-off", 7, "LcdModeOff", "LCD Mode Off"},
    {"stereo-off", stereoOffCommand, "StereoOff", "Stereo - Off"},
};
constexpr size_t stereoOnCount = 4;

// Names that scripts may carry from elsewhere: the command's own name spelt out.
struct Alias {
    std::string_view name;
    short value;
};
constexpr Alias aliases[] = {{"stereo-on-resync", 3}};

} // namespace

std::span<const NamedCommand> namedCommands() {
    return commands;
}

std::span<const NamedCommand> stereoOnCommands() {
    return namedCommands().first(stereoOnCount);
}

const NamedCommand* commandNamed(std::string_view name) {
    for (const Alias& alias : aliases)
        if (alias.name == name)
            return commandOfValue(alias.value);
    for (const NamedCommand& command : commands)
        if (command.name == name)
            return &command;
    return nullptr;
}

const NamedCommand* commandOfValue(int32_t value) {
    for (const NamedCommand& command : commands)
        if (command.value == value)
            return &command;
    return nullptr;
}
