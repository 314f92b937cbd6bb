// The object's identity, its automation members and its safety options.

#include "server/lumo_code.h"

#include "code/commands.h"
#include "server/server_module.h"
#include "server/type_info_dispatch.h"

#include <new>

namespace {

constexpr WORD typeLibraryMajorVersion = 1;
constexpr WORD typeLibraryMinorVersion = 0;
constexpr LCID typeLibraryLocale = 0x0409;

// The library is the one whose GUID the server module holds.
TypeInfoDispatch lumoCodeDispatch({&serverModule.libraryId, typeLibraryMajorVersion,
                                   typeLibraryMinorVersion, typeLibraryLocale, &IID_ILumoCode});

// An interface the object answers to, reached through the base that holds it.
template <class Interface, class Base = Interface> void* interfaceOf(LumoCode* object) {
    return static_cast<Interface*>(static_cast<Base*>(object));
}

struct InterfaceEntry {
    const IID* iid;
    void* (*cast)(LumoCode*);
};

// The interfaces in the order of the object's table; IUnknown is the first entry's.
constexpr InterfaceEntry interfaceTable[] = {
    {&IID_ILumoCode, interfaceOf<ILumoCode>},
    {&IID_IDispatch, interfaceOf<IDispatch, ILumoCode>},
    {&IID_IViewObjectEx, interfaceOf<IViewObjectEx>},
    {&IID_IViewObject2, interfaceOf<IViewObject2>},
    {&IID_IViewObject, interfaceOf<IViewObject>},
    {&IID_IOleInPlaceObjectWindowless, interfaceOf<IOleInPlaceObjectWindowless>},
    {&IID_IOleInPlaceObject, interfaceOf<IOleInPlaceObject>},
    {&IID_IOleWindow, interfaceOf<IOleWindow, IOleInPlaceObjectWindowless>},
    {&IID_IOleInPlaceActiveObject, interfaceOf<IOleInPlaceActiveObject>},
    {&IID_IOleControl, interfaceOf<IOleControl>},
    {&IID_IOleObject, interfaceOf<IOleObject>},
    {&IID_IPersistStreamInit, interfaceOf<IPersistStreamInit>},
    {&IID_IPersist, interfaceOf<IPersist, IPersistStreamInit>},
    {&IID_IPersistPropertyBag, interfaceOf<IPersistPropertyBag>},
    {&IID_IObjectSafety, interfaceOf<IObjectSafety>},
};

void* findInterface(LumoCode* object, REFIID iid) {
    if (iid == IID_IUnknown)
        return interfaceTable[0].cast(object);
    for (const InterfaceEntry& entry : interfaceTable)
        if (iid == *entry.iid)
            return entry.cast(object);
    return nullptr;
}

// The automation interface delivers 16 bits; the command routine takes them sign-extended.
void sendAutomationCommand(short value) {
    sendCommand(static_cast<DisplayCommand>(static_cast<int32_t>(value)));
}

} // namespace

HRESULT createLumoCode(REFIID iid, void** object) {
    auto* lumoCode = new (std::nothrow) LumoCode;
    if (!lumoCode)
        return E_OUTOFMEMORY;
    lumoCode->AddRef();
    const HRESULT result = lumoCode->QueryInterface(iid, object);
    lumoCode->Release();
    return result;
}

void releaseLumoCodeTypeInfo() {
    lumoCodeDispatch.release();
}

LumoCode::LumoCode() {
    lockServer();
}

LumoCode::~LumoCode() {
    unlockServer();
}

HRESULT STDMETHODCALLTYPE LumoCode::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = findInterface(this, iid);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return lumoCodeDispatch.getTypeInfo(index, info);
}

HRESULT STDMETHODCALLTYPE LumoCode::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                                  DISPID* ids) {
    return lumoCodeDispatch.getIDsOfNames(iid, names, count, ids);
}

HRESULT STDMETHODCALLTYPE LumoCode::Invoke(DISPID member, REFIID iid, LCID, WORD flags,
                                           DISPPARAMS* parameters, VARIANT* result,
                                           EXCEPINFO* exception, UINT* badArgument) {
    return lumoCodeDispatch.invoke(static_cast<ILumoCode*>(this), member, iid, flags, parameters,
                                   result, exception, badArgument);
}

HRESULT STDMETHODCALLTYPE LumoCode::SendCode(short codeValue) {
    // What the command routine reports is its own business: the client always gets S_OK.
    sendAutomationCommand(codeValue);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::get_DisplayCode(short* value) {
    if (!value)
        return E_POINTER;
    *value = displayCode_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::put_DisplayCode(short value) {
    // Stored first, so the value stays even when the command fails.
    displayCode_ = value;
    dirty_ = true;
    sendAutomationCommand(value);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::TestDialog() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                              DWORD* enabled) {
    if (!supported || !enabled)
        return E_POINTER;
    *supported = 0;
    *enabled = 0;
    ComPtr<IUnknown> answered;
    const HRESULT result = QueryInterface(iid, answered.putVoid());
    if (FAILED(result))
        return result;
    *supported = lumoCodeSafetyOptions;
    *enabled = enabledSafety_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                              DWORD enabled) {
    // The interface is asked about first: for one the object lacks, any mask is E_NOINTERFACE.
    ComPtr<IUnknown> answered;
    if (FAILED(QueryInterface(iid, answered.putVoid())))
        return E_NOINTERFACE;
    if (mask & ~lumoCodeSafetyOptions)
        return E_FAIL;
    enabledSafety_ = (enabledSafety_ & ~mask) | (enabled & mask);
    return S_OK;
}
