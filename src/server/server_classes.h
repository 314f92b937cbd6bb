#pragma once
// The classes that the controller's automation server offers.

#include "server/server_module.h"

#include <span>

std::span<ServerClass> serverClasses();
