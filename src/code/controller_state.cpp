#include "code/controller_state.h"

ControllerState controller{};
