#include "server/server_registration.h"

#include "common/com_ptr.h"
#include "server/server_module.h"
#include "server/server_path.h"
#include "common/registry_key.h"
#include "zezizer.h"

#include <oleauto.h>

#include <string>
#include <string_view>

namespace {

constexpr char registryResourceType[] = "REGISTRY";
constexpr char automationLibrary[] = "oleaut32.dll";
constexpr char unregisterTypeLibName[] = "UnRegisterTypeLib";
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
HRESULT registerForNeutralLocale(const TLIBATTR& attributes, const std::wstring& path) {
    const std::wstring key = neutralLocaleKey(attributes) + L"\\" + win32Platform;
    const LONG written =
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, path.c_str(),
                        static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(written);
}

// Under WOW64 a 32-bit program registers ILumoCode in the 32-bit view of the registry, and since
// Windows 7 nothing copies it to the 64-bit view, where a 64-bit client's system looks for the
// interface's marshaller: the server writes the 64-bit view's keys itself. The type library's keys
// are shared by both views and need nothing.
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

LONG writeText64(const std::string& path, const char* name, const std::string& text) {
    RegistryKey key;
    if (!key.create(HKEY_CLASSES_ROOT, path.c_str(), KEY_SET_VALUE | view64))
        return key.status();
    return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

HRESULT registerInterfaceIn64BitView(const TLIBATTR& library) {
    const std::string key = std::string(interfacesKey) + "\\" + guidText(IID_ILumoCode);
    const std::string version =
        std::to_string(library.wMajorVerNum) + "." + std::to_string(library.wMinorVerNum);
    LONG status = writeText64(key, nullptr, interfaceName);
    for (const char* proxyStub : proxyStubKeys)
        if (status == ERROR_SUCCESS)
            status = writeText64(key + "\\" + proxyStub, nullptr, automationMarshaller);
    if (status == ERROR_SUCCESS)
        status = writeText64(key + "\\" + typeLibraryKey, nullptr, guidText(library.guid));
    if (status == ERROR_SUCCESS)
        status = writeText64(key + "\\" + typeLibraryKey, versionValue, version);
    return HRESULT_FROM_WIN32(status);
}

void unregisterInterfaceIn64BitView() {
    RegistryKey interfaces;
    if (interfaces.open(HKEY_CLASSES_ROOT, interfacesKey,
                        DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view64))
        RegDeleteTreeA(interfaces.get(), guidText(IID_ILumoCode).c_str());
}

} // namespace

HRESULT applyRegistryScript(int resourceId, ScriptMode mode) {
    ServerPath server;
    const HRESULT found = serverPathOf(serverModule.instance, server);
    if (FAILED(found))
        return found;
    const ScriptReplacement replacements[] = {
        {"MODULE", doubleSingleQuotes(server.command)},
        {"MODULE_RAW", doubleSingleQuotes(server.path)},
    };
    std::string_view script;
    if (!registryScriptText(resourceId, script))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    return runRegistryScript(script, replacements, mode);
}

HRESULT registerTypeLibrary() {
    ComPtr<ITypeLib> library;
    std::wstring path;
    const HRESULT loaded = loadTypeLibrary(library, path);
    if (FAILED(loaded))
        return loaded;
    std::wstring helpDirectory = path.substr(0, path.find_last_of(pathSeparators) + 1);
    const HRESULT registered = RegisterTypeLib(library.get(), path.data(), helpDirectory.data());
    if (FAILED(registered))
        return registered;
    TLIBATTR* attributes = nullptr;
    HRESULT result = library->GetLibAttr(&attributes);
    if (FAILED(result))
        return result;
    result = registerForNeutralLocale(*attributes, path);
    if (SUCCEEDED(result) && runsUnderWow64())
        result = registerInterfaceIn64BitView(*attributes);
    library->ReleaseTLibAttr(attributes);
    return result;
}

void unregisterTypeLibrary() {
    if (runsUnderWow64())
        unregisterInterfaceIn64BitView();
    ComPtr<ITypeLib> library;
    std::wstring path;
    TLIBATTR* attributes = nullptr;
    if (FAILED(loadTypeLibrary(library, path)) || FAILED(library->GetLibAttr(&attributes)))
        return;
    // Without the neutral locale's key the system removes the library's keys whole.
    RegDeleteTreeW(HKEY_CLASSES_ROOT, neutralLocaleKey(*attributes).c_str());
    // Looked up at run time: an automation library without it leaves the registration alone.
    if (HMODULE automation = LoadLibraryA(automationLibrary)) {
        // Through the generic function type, which converts to any other without a warning.
        auto found =
            reinterpret_cast<void (*)()>(GetProcAddress(automation, unregisterTypeLibName));
        if (auto unregister = reinterpret_cast<UnregisterTypeLibFunction>(found))
            unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                       attributes->lcid, attributes->syskind);
        FreeLibrary(automation);
    }
    library->ReleaseTLibAttr(attributes);
}

HRESULT registerServer() {
    for (const ServerClass& serverClass : serverModule.classes) {
        const HRESULT registered =
            applyRegistryScript(serverClass.registryScript, ScriptMode::Register);
        if (FAILED(registered))
            return registered;
    }
    return registerTypeLibrary();
}

HRESULT unregisterServer() {
    for (const ServerClass& serverClass : serverModule.classes)
        applyRegistryScript(serverClass.registryScript, ScriptMode::Unregister);
    unregisterTypeLibrary();
    return S_OK;
}
