#include "settings/settings_store.h"

#include "code/controller_state.h"
#include "resource.h"
#include "settings/error_codes.h"
#include "common/registry_key.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr char versionValueName[] = "Version";
constexpr REGSAM readAccess = KEY_READ;
constexpr REGSAM writeAccess = KEY_READ | KEY_WRITE;
constexpr int resetFlagMask = 0xFF;

constexpr int32_t defaultHotKey1 = 0x279; // Ctrl+F10
constexpr int32_t defaultHotKey2 = 0x27A; // Ctrl+F11
constexpr int32_t defaultHotKey3 = 0x27B; // Ctrl+F12

// A 32-bit field of the state and the registry value that holds it.
struct StoredField {
    const char* valueName;
    int32_t ControllerState::*field;
    ErrorCode writeFailure;
    ErrorCode readFailure;
};

// The values of the controller key, in the order they are written and read; "Version" follows.
constexpr StoredField controllerKeyFields[] = {
    {"Active", &ControllerState::active, ErrorWriteActive, ErrorReadActive},
    {"Reverse", &ControllerState::reverse, ErrorWriteReverse, ErrorReadReverse},
    {"Tested", &ControllerState::tested, ErrorWriteTested, ErrorReadTested},
};

// The values of the settings key, in the order they are written and read.
constexpr StoredField settingsKeyFields[] = {
    {"Hardware", &ControllerState::hardware, ErrorWriteHardware, ErrorReadHardware},
    {"Mode", &ControllerState::mode, ErrorWriteMode, ErrorReadMode},
    {"LCD Mode", &ControllerState::lcdMode, ErrorWriteLcdMode, ErrorReadLcdMode},
    {"Hot-Key 1", &ControllerState::hotKey1, ErrorWriteHotKey1, ErrorReadHotKey1},
    {"Hot-Key 2", &ControllerState::hotKey2, ErrorWriteHotKey2, ErrorReadHotKey2},
    {"Hot-Key 3", &ControllerState::hotKey3, ErrorWriteHotKey3, ErrorReadHotKey3},
};

int fail(ErrorCode code) {
    controller.lastError = code;
    return 0;
}

void resetToDefaults() {
    controller.hardware = 0;
    controller.mode = ModeInterleaved;
    controller.lcdMode = 0;
    controller.tested = 0;
    controller.active = 0;
    controller.reverse = 0;
    controller.hotKey1 = defaultHotKey1;
    controller.hotKey2 = defaultHotKey2;
    controller.hotKey3 = defaultHotKey3;
}

template <size_t N> int writeFields(const RegistryKey& key, const StoredField (&fields)[N]) {
    for (const StoredField& stored : fields)
        if (key.setNumber(stored.valueName, static_cast<DWORD>(controller.*stored.field)) !=
            ERROR_SUCCESS)
            return fail(stored.writeFailure);
    return 1;
}

// A field takes a value only when the value is exactly 32 bits, whatever its type; a shorter one
// would leave the field half old, half new.
template <size_t N> int readFields(const RegistryKey& key, const StoredField (&fields)[N]) {
    for (const StoredField& stored : fields) {
        DWORD value = 0;
        if (key.queryNumber(stored.valueName, value) != ERROR_SUCCESS)
            return fail(stored.readFailure);
        controller.*stored.field = static_cast<int32_t>(value);
    }
    return 1;
}

// The stored "Version", at most versionTextSize bytes, which need not end in a terminator. The
// buffer has one byte more: the system may append a terminator to a text stored without one, and
// some versions of it refuse the read when there is no room for it.
struct StoredVersion {
    char text[versionTextSize + 1];
    size_t length;
};

bool readStoredVersion(const RegistryKey& key, StoredVersion& stored) {
    DWORD size = sizeof(stored.text);
    std::memset(stored.text, 0, sizeof(stored.text));
    if (key.queryValue(versionValueName, stored.text, size) != ERROR_SUCCESS)
        return false;
    if (size > versionTextSize && stored.text[versionTextSize] != '\0')
        return false;
    stored.length = strnlen(stored.text, std::min<size_t>(size, versionTextSize));
    return true;
}

// The version text as stored: the text, its terminator and zeros up to the full field size.
void paddedVersion(char (&padded)[versionTextSize]) {
    std::memset(padded, 0, sizeof(padded));
    std::memcpy(padded, controller.version, strnlen(controller.version, versionTextSize - 1));
}

} // namespace

void makeVersionText() {
    HRSRC resource =
        FindResourceA(controller.moduleInstance, MAKEINTRESOURCEA(IDR_VERSION), RT_VERSION);
    HGLOBAL loaded = resource ? LoadResource(controller.moduleInstance, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return;
    // The version functions may write into the block they read, so they get a copy of it.
    const auto* bytes = static_cast<const BYTE*>(data);
    std::vector<BYTE> block(bytes, bytes + SizeofResource(controller.moduleInstance, resource));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) &&
        infoSize >= sizeof(VS_FIXEDFILEINFO)) {
        // Four 16-bit numbers can need 24 characters: the text is cut to fit the field.
        std::memset(controller.version, 0, sizeof(controller.version));
        std::snprintf(controller.version, sizeof(controller.version), "%d.%d.%d.%d",
                      HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                      HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    }
    FreeResource(loaded);
}

bool storedVersionMatches(const char* runningVersion) {
    RegistryKey key;
    if (!key.open(HKEY_CURRENT_USER, controllerKeyPath, readAccess))
        return fail(ErrorReadControllerKey);
    StoredVersion stored;
    if (!readStoredVersion(key, stored))
        return fail(ErrorReadVersion);
    return stored.length == std::strlen(runningVersion) &&
           std::memcmp(stored.text, runningVersion, stored.length) == 0;
}

int loadSettings() {
    RegistryKey key;
    if (!key.open(HKEY_CURRENT_USER, controllerKeyPath, readAccess))
        return fail(ErrorReadControllerKey);
    if (!readFields(key, controllerKeyFields))
        return 0;
    StoredVersion stored;
    if (!readStoredVersion(key, stored))
        return fail(ErrorReadVersion);
    // The field always keeps a terminator, even when the stored text fills all of it.
    std::memset(controller.version, 0, sizeof(controller.version));
    std::memcpy(controller.version, stored.text,
                std::min(stored.length, sizeof(controller.version) - 1));

    if (!key.open(HKEY_CURRENT_USER, settingsKeyPath, readAccess))
        return fail(ErrorReadSettingsKey);
    if (!readFields(key, settingsKeyFields))
        return 0;
    controller.lastError = ErrorNone;
    return 1;
}

int saveSettings(int reset) {
    if (reset & resetFlagMask)
        resetToDefaults();

    RegistryKey key;
    if (!key.create(HKEY_CURRENT_USER, controllerKeyPath, writeAccess))
        return fail(ErrorWriteControllerKey);
    if (!writeFields(key, controllerKeyFields))
        return 0;
    char version[versionTextSize];
    paddedVersion(version);
    if (key.setValue(versionValueName, REG_SZ, version, sizeof(version)) != ERROR_SUCCESS)
        return fail(ErrorWriteVersion);

    if (!key.create(HKEY_CURRENT_USER, settingsKeyPath, writeAccess))
        return fail(ErrorWriteSettingsKey);
    if (!writeFields(key, settingsKeyFields))
        return 0;
    controller.lastError = ErrorNone;
    return 1;
}

int loadOrResetSettings() {
    RegistryKey key;
    DWORD disposition = 0;
    if (!key.create(HKEY_CURRENT_USER, controllerKeyPath, writeAccess, &disposition))
        return 1;
    if (disposition == REG_OPENED_EXISTING_KEY && storedVersionMatches(controller.version))
        return loadSettings();
    return saveSettings(1);
}
