#pragma once
// IDispatch for a dual interface, served from its registered type library: the library is loaded
// on the first call that needs it and the interface's type information is kept for the process.
// Name look-up and Invoke are the type information's own.

#include "common/com_ptr.h"

#include <oaidl.h>

struct RegisteredInterface {
    const GUID* library;
    WORD majorVersion;
    WORD minorVersion;
    LCID locale;
    const IID* iid;
};

class TypeInfoDispatch {
  public:
    explicit TypeInfoDispatch(const RegisteredInterface& registered) : registered_(registered) {}

    HRESULT getTypeInfo(UINT index, ITypeInfo** info);
    HRESULT getIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids);
    // Calls the member on the object, which must implement the interface of the type information.
    HRESULT invoke(IDispatch* object, DISPID member, REFIID iid, WORD flags, DISPPARAMS* parameters,
                   VARIANT* result, EXCEPINFO* exception, UINT* badArgument);

    // Lets go of the type information (before the component runtime is uninitialised).
    void release() { info_.reset(); }

  private:
    // The type information, loaded on first use; the failure of the library load otherwise.
    HRESULT load();

    RegisteredInterface registered_;
    ComPtr<ITypeInfo> info_;
};
