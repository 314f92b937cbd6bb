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

std::vector<std::string> serverKeyPaths() {
    return {
        progId,
        versionedProgId,
        std::string("CLSID\\") + classIdText,
        std::string("AppID\\") + appIdText,
        "AppID\\ZEZIZER.EXE",
        std::string("TypeLib\\") + libraryIdText,
        std::string("Interface\\") + interfaceIdText,
    };
}

void removeServerKeys() {
    for (const std::string& key : serverKeyPaths()) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Classes\\" + key).c_str());
    }
}
