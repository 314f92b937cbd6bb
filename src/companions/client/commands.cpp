#include "client/commands.h"

namespace {

// Names that scripts may carry from elsewhere: the command's own name spelt out.
struct Alias {
    std::string_view name;
    short value;
};
constexpr Alias aliases[] = {{"stereo-on-resync", StereoOnResync}};

} // namespace

std::span<const NamedCommand> namedCommands() {
    return commandTable();
}

std::span<const NamedCommand> stereoOnCommands() {
    return namedCommands().first(stereoOnCommandCount);
}

const NamedCommand* commandNamed(std::string_view name) {
    for (const Alias& alias : aliases)
        if (alias.name == name)
            return commandOfValue(alias.value);
    for (const NamedCommand& command : namedCommands())
        if (command.name == name)
            return &command;
    return nullptr;
}

const NamedCommand* commandOfValue(int32_t value) {
    return findCommand(value);
}
