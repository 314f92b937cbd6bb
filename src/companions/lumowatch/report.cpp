#include "lumowatch/report.h"

#include "client/commands.h"
#include "client/json_string.h"

namespace {

const char* familyName(CodeFamily family) {
    return family == CodeFamily::Lcd ? "lcd" : "stereo";
}

std::string whatCode(const Sighting& sighting) {
    if (sighting.command == unknownCommand)
        return std::string(familyName(sighting.family)) + " code of unknown command";
    return std::to_string(sighting.command) + " " + commandName(sighting.command);
}

std::string howItLooked(const Sighting& sighting) {
    if (!sighting.damage)
        return "exact";
    if (!sighting.seenExact)
        return "damaged: " + *sighting.damage;
    return "exact, damaged for " + std::to_string(sighting.damagedMs) + " ms: " + *sighting.damage;
}

} // namespace

std::string commandName(int32_t command) {
    const NamedCommand* named = commandOfValue(command);
    return named ? std::string(named->typeName) : std::string();
}

std::string textLine(const Sighting& sighting) {
    return "at " + std::to_string(sighting.appearedMs) + " ms: " + whatCode(sighting) + ", " +
           std::to_string(sighting.durationMs) + " ms on screen" +
           (sighting.stillOnScreen ? " so far" : "") + ", " + howItLooked(sighting);
}

std::string jsonLine(const Sighting& sighting) {
    const bool known = sighting.command != unknownCommand;
    return "{\"appearedMs\":" + std::to_string(sighting.appearedMs) +
           ",\"command\":" + (known ? std::to_string(sighting.command) : "null") +
           ",\"name\":" + (known ? jsonString(commandName(sighting.command)) : "null") +
           ",\"family\":" + jsonString(familyName(sighting.family)) +
           ",\"durationMs\":" + std::to_string(sighting.durationMs) +
           ",\"exact\":" + jsonBool(sighting.seenExact) +
           ",\"damage\":" + (sighting.damage ? jsonString(*sighting.damage) : "null") +
           ",\"damagedMs\":" + std::to_string(sighting.damagedMs) +
           ",\"stillOnScreen\":" + jsonBool(sighting.stillOnScreen) + "}";
}
