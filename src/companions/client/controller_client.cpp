#include "client/controller_client.h"

#include "common/com_ptr.h"

#include <oleauto.h>

namespace {

constexpr wchar_t progId[] = L"ZEZIZER.LumoCode";

HRESULT invoke(IDispatch* object, const wchar_t* member, bool propertyPut, short value) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    HRESULT result = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result))
        return result;
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I2;
    argument.iVal = value;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{&argument, propertyPut ? &putId : nullptr, 1, propertyPut ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                          propertyPut ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD, &parameters,
                          nullptr, nullptr, nullptr);
}

HRESULT createObject(ComPtr<IDispatch>& object) {
    CLSID classId;
    const HRESULT result = CLSIDFromProgID(progId, &classId);
    if (FAILED(result))
        return result;
    return CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(object.put()));
}

} // namespace

bool controllerClassRegistered() {
    CLSID classId;
    return SUCCEEDED(CLSIDFromProgID(progId, &classId));
}

HRESULT reachController() {
    ComPtr<IDispatch> object;
    HRESULT result = createObject(object);
    if (FAILED(result))
        return result;
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"SendCode");
    return object.get()->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
}

SendResult sendToController(short command, bool property) {
    if (!controllerClassRegistered())
        return {SendOutcome::NotRegistered, REGDB_E_CLASSNOTREG};
    ComPtr<IDispatch> object;
    HRESULT result = createObject(object);
    if (SUCCEEDED(result))
        result = invoke(object.get(), property ? L"DisplayCode" : L"SendCode", property, command);
    if (FAILED(result))
        return {SendOutcome::Unreachable, result};
    return {SendOutcome::Sent, S_OK};
}
