#include "server/server_classes.h"

#include "resource.h"
#include "server/lumo_code.h"

namespace {

ClassFactory lumoCodeClassObject(createLumoCode);

ServerClass classTable[] = {
    {&CLSID_LumoCode, IDR_CLASS_SCRIPT, &lumoCodeClassObject, 0},
};

} // namespace

std::span<ServerClass> serverClasses() {
    return classTable;
}
