#include "baselines.h"

#include <objbase.h>

#include <new>

namespace {

constexpr DISPID emptyMethodId = 1;

// Counts the objects handed out; the server ends when the last one is released.
LONG liveObjects = 0;
DWORD serverThread = 0;

class EmptyDispatch final : public IDispatch {
  public:
    EmptyDispatch() { InterlockedIncrement(&liveObjects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
            if (InterlockedDecrement(&liveObjects) == 0)
                PostThreadMessageA(serverThread, WM_QUIT, 0, 0);
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i)
            ids[i] = emptyMethodId;
        return S_OK;
    }
    // The baseline: a call that does nothing at all.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return S_OK;
    }

  private:
    ~EmptyDispatch() = default;
    LONG references_ = 1;
};

class EmptyFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // A static object: its count does not matter.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        EmptyDispatch* created = new (std::nothrow) EmptyDispatch;
        if (!created)
            return E_OUTOFMEMORY;
        const HRESULT result = created->QueryInterface(iid, object);
        created->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

int runMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

} // namespace

int runEmptyServer() {
    serverThread = GetCurrentThreadId();
    CoInitialize(nullptr);
    static EmptyFactory factory;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(emptyServerClassId, &factory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie))) {
        CoUninitialize();
        return 1;
    }
    runMessageLoop();
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}
