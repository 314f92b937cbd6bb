#include "server/server_registration.h"

#include "common/com_ptr.h"
#include "common/registry_key.h"
#include "common/utf8.h"
#include "server/server_module.h"
#include "server/server_path.h"
#include "zezizer.h"

#include <oleauto.h>

#include <string>
#include <string_view>

namespace {

constexpr char registryResourceType[] = "REGISTRY";
constexpr char automationLibrary[] = "oleaut32.dll";
constexpr char unregisterTypeLibName[] = "UnRegisterTypeLib";
constexpr char registerTypeLibForUserName[] = "RegisterTypeLibForUser";
constexpr char unregisterTypeLibForUserName[] = "UnRegisterTypeLibForUser";
constexpr char classesKey[] = "Software\\Classes";
constexpr wchar_t classesKeyWide[] = L"Software\\Classes\\";
constexpr wchar_t typeLibraryExtension[] = L".tlb";
constexpr wchar_t pathSeparators[] = L"\\/:";
constexpr wchar_t win32Platform[] = L"win32";
constexpr int guidTextSize = 39;
constexpr int neutralLocaleKeySize = 80;

constexpr char interfacesKey[] = "Interface";
constexpr char interfaceName[] = "ILumoCode";
constexpr const char* proxyStubKeys[] = {"ProxyStubClsid", "ProxyStubClsid32"};
constexpr char typeLibraryKey[] = "TypeLib";
constexpr char versionValue[] = "Version";
// The system's marshaller for automation interfaces, which reads the type library.
constexpr char automationMarshaller[] = "{00020424-0000-0000-C000-000000000046}";
constexpr REGSAM view64 = KEY_WOW64_64KEY;

using UnregisterTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
using RegisterTypeLibFunction = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);

HKEY hiveOf(RegistrationScope scope) {
    return scope == RegistrationScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// Calls a function of the automation library looked up by name at run time (the headers lack the
// per-user ones, and older systems lack them): its result, or ERROR_PROC_NOT_FOUND's when the
// library or the function is missing.
template <typename Function, typename... Arguments>
HRESULT callAutomationFunction(const char* name, Arguments... arguments) {
    HRESULT result = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    HMODULE automation = LoadLibraryA(automationLibrary);
    if (!automation)
        return result;
    // Through the generic function type, which converts to any other without a warning.
    auto found = reinterpret_cast<void (*)()>(GetProcAddress(automation, name));
    if (found)
        result = reinterpret_cast<Function>(found)(arguments...);
    FreeLibrary(automation);
    return result;
}

// The text of a resource of type "REGISTRY" in the module; false when there is none.
bool registryScriptText(int resourceId, std::string_view& text) {
    HINSTANCE instance = serverModule.instance;
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(resourceId), registryResourceType);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!data)
        return false;
    text = std::string_view(data, SizeofResource(instance, found));
    return true;
}

// The executable's type library and the path that it was loaded from: the executable itself
// (type-library resource 1), else the file of the same name with the extension ".tlb".
HRESULT loadTypeLibrary(ComPtr<ITypeLib>& library, std::wstring& path) {
    wchar_t modulePath[MAX_PATH];
    const DWORD length = GetModuleFileNameW(serverModule.instance, modulePath, MAX_PATH);
    if (length == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    if (length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path = modulePath;
    if (SUCCEEDED(LoadTypeLib(path.c_str(), library.put())))
        return S_OK;
    path = path.substr(0, path.rfind(L'.')) + typeLibraryExtension;
    return LoadTypeLib(path.c_str(), library.put());
}

// The library's key for the neutral locale: "TypeLib\{guid}\MAJOR.MINOR\0" (hexadecimal
// version numbers, as the system writes them).
std::wstring neutralLocaleKey(const TLIBATTR& attributes) {
    wchar_t guid[guidTextSize];
    StringFromGUID2(attributes.guid, guid, guidTextSize);
    wchar_t key[neutralLocaleKeySize];
    wsprintfW(key, L"TypeLib\\%s\\%x.%x\\0", guid, attributes.wMajorVerNum,
              attributes.wMinorVerNum);
    return key;
}

// The system's type-library marshaler, which carries ILumoCode to other processes, may look the
// library up for the neutral locale only (Wine's does), while the library is registered for its
// own locale: the path is registered for the neutral locale too.
HRESULT registerForNeutralLocale(RegistrationScope scope, const TLIBATTR& attributes,
                                 const std::wstring& path) {
    const std::wstring key = classesKeyWide + neutralLocaleKey(attributes) + L"\\" + win32Platform;
    const LONG written = RegSetKeyValueW(hiveOf(scope), key.c_str(), nullptr, REG_SZ, path.c_str(),
                                         static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(written);
}

// Under WOW64 a 32-bit program registers ILumoCode in the 32-bit view of the registry, and since
// Windows 7 nothing copies it to the 64-bit view, where a 64-bit client's system looks for the
// interface's marshaller: the server writes the 64-bit view's keys itself, in the user's classes as
// in the machine's (both keep Interface apart for each view). The type library's keys are shared
// by both views and need nothing.
bool runsUnderWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string guidText(const GUID& guid) {
    wchar_t wide[guidTextSize];
    StringFromGUID2(guid, wide, guidTextSize);
    char text[guidTextSize];
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, guidTextSize, nullptr, nullptr);
    return text;
}

LONG writeText64(RegistrationScope scope, const std::string& path, const char* name,
                 const std::string& text) {
    RegistryKey key;
    const std::string fullPath = std::string(classesKey) + "\\" + path;
    if (!key.create(hiveOf(scope), fullPath.c_str(), KEY_SET_VALUE | view64))
        return key.status();
    return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

HRESULT registerInterfaceIn64BitView(RegistrationScope scope, const TLIBATTR& library) {
    const std::string key = std::string(interfacesKey) + "\\" + guidText(IID_ILumoCode);
    const std::string version =
        std::to_string(library.wMajorVerNum) + "." + std::to_string(library.wMinorVerNum);
    LONG status = writeText64(scope, key, nullptr, interfaceName);
    for (const char* proxyStub : proxyStubKeys)
        if (status == ERROR_SUCCESS)
            status = writeText64(scope, key + "\\" + proxyStub, nullptr, automationMarshaller);
    if (status == ERROR_SUCCESS)
        status = writeText64(scope, key + "\\" + typeLibraryKey, nullptr, guidText(library.guid));
    if (status == ERROR_SUCCESS)
        status = writeText64(scope, key + "\\" + typeLibraryKey, versionValue, version);
    return HRESULT_FROM_WIN32(status);
}

void unregisterInterfaceIn64BitView(RegistrationScope scope) {
    RegistryKey interfaces;
    const std::string path = std::string(classesKey) + "\\" + interfacesKey;
    if (interfaces.open(hiveOf(scope), path.c_str(),
                        DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view64))
        RegDeleteTreeA(interfaces.get(), guidText(IID_ILumoCode).c_str());
}

// The library's version key and the library's key, when the system's unregistration left them
// with nothing below them (a system that registers the library elsewhere for the user leaves the
// ones above the neutral locale's key).
void removeEmptyLibraryKeys(HKEY hive, const TLIBATTR& attributes) {
    std::wstring key = classesKeyWide + neutralLocaleKey(attributes);
    for (int level = 0; level < 2; ++level) {
        key.erase(key.rfind(L'\\'));
        // Refused while a key below it remains.
        RegDeleteKeyW(hive, key.c_str());
    }
}

// The machine's type library registration writes through HKEY_CLASSES_ROOT, the user's under
// HKEY_CURRENT_USER\Software\Classes.
HRESULT registerTypeLibraryIn(RegistrationScope scope, ITypeLib* library, std::wstring& path,
                              std::wstring& helpDirectory) {
    if (scope == RegistrationScope::Machine)
        return RegisterTypeLib(library, path.data(), helpDirectory.data());
    return callAutomationFunction<RegisterTypeLibFunction>(registerTypeLibForUserName, library,
                                                           path.data(), helpDirectory.data());
}

} // namespace

HRESULT applyRegistryScript(int resourceId, ScriptMode mode, RegistrationScope scope) {
    ServerPath server;
    const HRESULT found = serverPathOf(serverModule.instance, server);
    if (FAILED(found))
        return found;
    const ScriptReplacement replacements[] = {
        {"MODULE", doubleSingleQuotes(narrow(server.command))},
        {"MODULE_RAW", doubleSingleQuotes(narrow(server.path))},
    };
    std::string_view script;
    if (!registryScriptText(resourceId, script))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    RegistryKey classes;
    if (!classes.create(hiveOf(scope), classesKey, KEY_ALL_ACCESS))
        return HRESULT_FROM_WIN32(classes.status());
    return runRegistryScript(script, replacements, mode, classes.get());
}

HRESULT registerTypeLibrary(RegistrationScope scope) {
    ComPtr<ITypeLib> library;
    std::wstring path;
    const HRESULT loaded = loadTypeLibrary(library, path);
    if (FAILED(loaded))
        return loaded;
    std::wstring helpDirectory = path.substr(0, path.find_last_of(pathSeparators) + 1);
    const HRESULT registered = registerTypeLibraryIn(scope, library.get(), path, helpDirectory);
    if (FAILED(registered))
        return registered;
    TLIBATTR* attributes = nullptr;
    HRESULT result = library->GetLibAttr(&attributes);
    if (FAILED(result))
        return result;
    result = registerForNeutralLocale(scope, *attributes, path);
    if (SUCCEEDED(result) && runsUnderWow64())
        result = registerInterfaceIn64BitView(scope, *attributes);
    library->ReleaseTLibAttr(attributes);
    return result;
}

void unregisterTypeLibrary(RegistrationScope scope) {
    if (runsUnderWow64())
        unregisterInterfaceIn64BitView(scope);
    ComPtr<ITypeLib> library;
    std::wstring path;
    TLIBATTR* attributes = nullptr;
    if (FAILED(loadTypeLibrary(library, path)) || FAILED(library->GetLibAttr(&attributes)))
        return;
    // Without the neutral locale's key the system removes the library's keys whole.
    RegDeleteTreeW(hiveOf(scope), (classesKeyWide + neutralLocaleKey(*attributes)).c_str());
    // An automation library without the function leaves the registration alone.
    callAutomationFunction<UnregisterTypeLibFunction>(
        scope == RegistrationScope::User ? unregisterTypeLibForUserName : unregisterTypeLibName,
        attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
        attributes->syskind);
    removeEmptyLibraryKeys(hiveOf(scope), *attributes);
    library->ReleaseTLibAttr(attributes);
}

HRESULT registerServer(RegistrationScope scope) {
    for (const ServerClass& serverClass : serverModule.classes) {
        const HRESULT registered =
            applyRegistryScript(serverClass.registryScript, ScriptMode::Register, scope);
        if (FAILED(registered))
            return registered;
    }
    return registerTypeLibrary(scope);
}

HRESULT unregisterServer(RegistrationScope scope) {
    for (const ServerClass& serverClass : serverModule.classes)
        applyRegistryScript(serverClass.registryScript, ScriptMode::Unregister, scope);
    unregisterTypeLibrary(scope);
    return S_OK;
}
