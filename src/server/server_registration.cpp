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
// The platform key under which a type library's path stands, by the library's own system kind.
constexpr wchar_t win32Platform[] = L"win32";
constexpr wchar_t win64Platform[] = L"win64";
constexpr int guidTextSize = 39;
constexpr int neutralLocaleKeySize = 80;

constexpr wchar_t interfacesKey[] = L"Software\\Classes\\Interface";
constexpr wchar_t interfaceName[] = L"ILumoCode";
constexpr const wchar_t* proxyStubKeys[] = {L"ProxyStubClsid", L"ProxyStubClsid32"};
constexpr wchar_t typeLibraryKey[] = L"TypeLib";
constexpr wchar_t versionValue[] = L"Version";
// The system's marshaller for automation interfaces, which reads the type library.
constexpr wchar_t automationMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";
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
    const std::wstring key = classesKeyWide + neutralLocaleKey(attributes) + L"\\" +
                             (attributes.syskind == SYS_WIN64 ? win64Platform : win32Platform);
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

std::wstring guidText(const GUID& guid) {
    wchar_t text[guidTextSize];
    StringFromGUID2(guid, text, guidTextSize);
    return text;
}

// Every create, open and delete in the other view names it ("Accessing an Alternate Registry
// View"): RegDeleteTree would reopen the subkeys in the program's own view.
LONG writeText64(const RegistryKey& parent, const wchar_t* path, RegistryKey& key,
                 const wchar_t* name, const std::wstring& text) {
    if (!key.create(parent.get(), path, KEY_CREATE_SUB_KEY | KEY_SET_VALUE | view64))
        return key.status();
    return key.setText(name, text);
}

HRESULT registerInterfaceIn64BitView(RegistrationScope scope, const TLIBATTR& library) {
    RegistryKey interfaces;
    RegistryKey interfaceKey;
    RegistryKey subkey;
    const std::wstring version =
        std::to_wstring(library.wMajorVerNum) + L"." + std::to_wstring(library.wMinorVerNum);
    if (!interfaces.create(hiveOf(scope), interfacesKey, KEY_CREATE_SUB_KEY | view64))
        return HRESULT_FROM_WIN32(interfaces.status());
    LONG status = writeText64(interfaces, guidText(IID_ILumoCode).c_str(), interfaceKey, nullptr,
                              interfaceName);
    for (const wchar_t* proxyStub : proxyStubKeys)
        if (status == ERROR_SUCCESS)
            status = writeText64(interfaceKey, proxyStub, subkey, nullptr, automationMarshaller);
    if (status == ERROR_SUCCESS)
        status = writeText64(interfaceKey, typeLibraryKey, subkey, nullptr, guidText(library.guid));
    if (status == ERROR_SUCCESS)
        status = subkey.setText(versionValue, version);
    return HRESULT_FROM_WIN32(status);
}

// Our keys alone, deepest first: a key that something else added below ours stays, with ours
// above it.
void unregisterInterfaceIn64BitView(RegistrationScope scope) {
    RegistryKey interfaces;
    RegistryKey interfaceKey;
    const std::wstring interfaceId = guidText(IID_ILumoCode);
    if (!interfaces.open(hiveOf(scope), interfacesKey, KEY_ENUMERATE_SUB_KEYS | view64) ||
        !interfaceKey.open(interfaces.get(), interfaceId.c_str(), KEY_ENUMERATE_SUB_KEYS | view64))
        return;
    for (const wchar_t* proxyStub : proxyStubKeys)
        interfaceKey.deleteKey(proxyStub, view64);
    interfaceKey.deleteKey(typeLibraryKey, view64);
    interfaceKey.close();
    interfaces.deleteKey(interfaceId.c_str(), view64);
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

// While it lives, HKEY_CLASSES_ROOT is, in this process, the machine's classes key alone. The
// system's machine-wide type library functions write through HKEY_CLASSES_ROOT, whose merged view
// sends a key that the user's classes already hold to the user's hive ("HKEY_CLASSES_ROOT Key");
// installers map it so with RegOverridePredefKey.
class MachineClassesRoot {
  public:
    MachineClassesRoot() {
        if (classes_.open(HKEY_LOCAL_MACHINE, classesKey, KEY_ALL_ACCESS))
            status_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get());
        else
            status_ = classes_.status();
    }
    ~MachineClassesRoot() {
        if (status_ == ERROR_SUCCESS)
            RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    MachineClassesRoot(const MachineClassesRoot&) = delete;
    MachineClassesRoot& operator=(const MachineClassesRoot&) = delete;

    LONG status() const { return status_; }

  private:
    RegistryKey classes_;
    LONG status_ = ERROR_SUCCESS;
};

// The machine's type library registration writes through HKEY_CLASSES_ROOT, mapped onto the
// machine's classes; the user's under HKEY_CURRENT_USER\Software\Classes.
HRESULT registerTypeLibraryIn(RegistrationScope scope, ITypeLib* library, std::wstring& path,
                              std::wstring& helpDirectory) {
    if (scope == RegistrationScope::User)
        return callAutomationFunction<RegisterTypeLibFunction>(registerTypeLibForUserName, library,
                                                               path.data(), helpDirectory.data());
    const MachineClassesRoot machineClasses;
    if (machineClasses.status() != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(machineClasses.status());
    return RegisterTypeLib(library, path.data(), helpDirectory.data());
}

// The user's unregistration, or the machine's through HKEY_CLASSES_ROOT mapped onto the
// machine's classes (without that mapping it could remove the user's registration instead). An
// automation library without the function leaves the registration alone.
void unregisterTypeLibraryIn(RegistrationScope scope, const TLIBATTR& attributes) {
    if (scope == RegistrationScope::User) {
        callAutomationFunction<UnregisterTypeLibFunction>(
            unregisterTypeLibForUserName, attributes.guid, attributes.wMajorVerNum,
            attributes.wMinorVerNum, attributes.lcid, attributes.syskind);
        return;
    }
    const MachineClassesRoot machineClasses;
    if (machineClasses.status() == ERROR_SUCCESS)
        callAutomationFunction<UnregisterTypeLibFunction>(
            unregisterTypeLibName, attributes.guid, attributes.wMajorVerNum,
            attributes.wMinorVerNum, attributes.lcid, attributes.syskind);
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
    unregisterTypeLibraryIn(scope, *attributes);
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
