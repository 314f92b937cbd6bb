#include "app/application.h"

#include "code/controller_state.h"

int runApplication(HINSTANCE instance) {
    controller.moduleInstance = instance;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
