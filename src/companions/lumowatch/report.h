#pragma once
// The line lumowatch prints for a code, as text for a person or as one JSON object.

#include "lumowatch/sightings.h"

#include <string>

// The command's name (StereoNormal, ...); empty for a value that names no command.
std::string commandName(int32_t command);

// One line, without its line break.
std::string textLine(const Sighting& sighting);
std::string jsonLine(const Sighting& sighting);
