#include "support/server_keys.h"

#include <objbase.h>

#include <string>

CLSID guidOf(const char* text) {
    wchar_t wide[64];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    CLSID guid{};
    CLSIDFromString(wide, &guid);
    return guid;
}

void removeServerKeys() {
    const std::string keys[] = {
        progId,
        versionedProgId,
        std::string("CLSID\\") + classIdText,
        std::string("AppID\\") + appIdText,
        "AppID\\ZEZIZER.EXE",
        std::string("TypeLib\\") + libraryIdText,
        std::string("Interface\\") + interfaceIdText,
    };
    for (const std::string& key : keys)
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
}
