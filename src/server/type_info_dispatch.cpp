#include "server/type_info_dispatch.h"

HRESULT TypeInfoDispatch::load() {
    if (info_)
        return S_OK;
    ComPtr<ITypeLib> library;
    HRESULT result = LoadRegTypeLib(*registered_.library, registered_.majorVersion,
                                    registered_.minorVersion, registered_.locale, library.put());
    if (FAILED(result))
        return result;
    return library->GetTypeInfoOfGuid(*registered_.iid, info_.put());
}

HRESULT TypeInfoDispatch::getTypeInfo(UINT index, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    const HRESULT result = load();
    if (FAILED(result))
        return result;
    *info = ComPtr<ITypeInfo>(info_).detach();
    return S_OK;
}

HRESULT TypeInfoDispatch::getIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    const HRESULT result = load();
    if (FAILED(result))
        return result;
    return info_->GetIDsOfNames(names, count, ids);
}

HRESULT TypeInfoDispatch::invoke(IDispatch* object, DISPID member, REFIID iid, WORD flags,
                                 DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                 UINT* badArgument) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    const HRESULT loaded = load();
    if (FAILED(loaded))
        return loaded;
    return info_->Invoke(object, member, flags, parameters, result, exception, badArgument);
}
