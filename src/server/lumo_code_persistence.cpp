// What the control persists: its extent as "_cx" and "_cy", read and written directly, and its
// DisplayCode property, read and written through IDispatch, so loading a saved control sends the
// command exactly as a client's put does. In a stream each value is its VARTYPE and its bytes.

#include "server/lumo_code.h"

struct PersistedProperty {
    const wchar_t* name;
    VARTYPE type;
    LONG SIZEL::*extentField; // null for a property reached through IDispatch
    DISPID dispid;
};

namespace {

constexpr PersistedProperty persistedProperties[] = {
    {L"_cx", VT_UI4, &SIZEL::cx, DISPID_UNKNOWN},
    {L"_cy", VT_UI4, &SIZEL::cy, DISPID_UNKNOWN},
    {L"DisplayCode", VT_I2, nullptr, dispidDisplayCode},
};

// The bytes of a value of a persisted type in a stream; 0 for any other type.
ULONG payloadSize(VARTYPE type) {
    switch (type) {
    case VT_I2:
        return sizeof(SHORT);
    case VT_UI4:
        return sizeof(ULONG);
    default:
        return 0;
    }
}

// A VARIANT that clears itself.
struct OwnedVariant {
    VARIANT value;
    OwnedVariant() { VariantInit(&value); }
    ~OwnedVariant() { VariantClear(&value); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
};

HRESULT readExactly(IStream* stream, void* buffer, ULONG size) {
    ULONG read = 0;
    const HRESULT result = stream->Read(buffer, size, &read);
    if (FAILED(result))
        return result;
    return read == size ? S_OK : STG_E_READFAULT;
}

// A VARIANT's value starts at the same place whatever its type: the 2 or 4 bytes are read from
// and written to there.
HRESULT writeToStream(IStream* stream, const VARIANT& value) {
    const VARTYPE type = V_VT(&value);
    HRESULT result = stream->Write(&type, sizeof(type), nullptr);
    if (FAILED(result))
        return result;
    return stream->Write(&V_I2(&value), payloadSize(type), nullptr);
}

HRESULT readFromStream(IStream* stream, VARIANT& value) {
    VARTYPE type = VT_EMPTY;
    HRESULT result = readExactly(stream, &type, sizeof(type));
    if (FAILED(result))
        return result;
    if (!payloadSize(type))
        return STG_E_INVALIDHEADER;
    V_VT(&value) = type;
    return readExactly(stream, &V_I2(&value), payloadSize(type));
}

} // namespace

HRESULT LumoCode::readProperty(const PersistedProperty& property, VARIANT& value) {
    if (property.extentField) {
        V_VT(&value) = VT_UI4;
        V_UI4(&value) = static_cast<ULONG>(extent_.*property.extentField);
        return S_OK;
    }
    DISPPARAMS noArguments{};
    const HRESULT result = Invoke(property.dispid, IID_NULL, LOCALE_USER_DEFAULT,
                                  DISPATCH_PROPERTYGET, &noArguments, &value, nullptr, nullptr);
    if (FAILED(result))
        return result;
    return VariantChangeType(&value, &value, 0, property.type);
}

HRESULT LumoCode::writeProperty(const PersistedProperty& property, const VARIANT& value) {
    OwnedVariant converted;
    HRESULT result =
        VariantChangeType(&converted.value, const_cast<VARIANT*>(&value), 0, property.type);
    if (FAILED(result))
        return result;
    if (property.extentField) {
        extent_.*property.extentField = static_cast<LONG>(V_UI4(&converted.value));
        return S_OK;
    }
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS put{&converted.value, &namedPut, 1, 1};
    return Invoke(property.dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put,
                  nullptr, nullptr, nullptr);
}

HRESULT STDMETHODCALLTYPE LumoCode::GetClassID(CLSID* classId) {
    if (!classId)
        return E_POINTER;
    *classId = CLSID_LumoCode;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE LumoCode::InitNew() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::Load(IStream* stream) {
    if (!stream)
        return E_POINTER;
    for (const PersistedProperty& property : persistedProperties) {
        OwnedVariant value;
        HRESULT result = readFromStream(stream, value.value);
        if (SUCCEEDED(result))
            result = writeProperty(property, value.value);
        if (FAILED(result))
            return result;
    }
    dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::Save(IStream* stream, BOOL clearDirty) {
    if (!stream)
        return E_POINTER;
    for (const PersistedProperty& property : persistedProperties) {
        OwnedVariant value;
        HRESULT result = readProperty(property, value.value);
        if (SUCCEEDED(result))
            result = writeToStream(stream, value.value);
        if (FAILED(result))
            return result;
    }
    if (clearDirty)
        dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    for (const PersistedProperty& property : persistedProperties)
        size->QuadPart += sizeof(VARTYPE) + payloadSize(property.type);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag)
        return E_POINTER;
    for (const PersistedProperty& property : persistedProperties) {
        OwnedVariant value;
        V_VT(&value.value) = property.type;
        HRESULT result = bag->Read(property.name, &value.value, log);
        // A property that the bag does not hold keeps its value.
        if (result == E_INVALIDARG)
            continue;
        if (SUCCEEDED(result))
            result = writeProperty(property, value.value);
        if (FAILED(result))
            return result;
    }
    dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag)
        return E_POINTER;
    for (const PersistedProperty& property : persistedProperties) {
        OwnedVariant value;
        HRESULT result = readProperty(property, value.value);
        if (SUCCEEDED(result))
            result = bag->Write(property.name, &value.value);
        if (FAILED(result))
            return result;
    }
    if (clearDirty)
        dirty_ = false;
    return S_OK;
}
