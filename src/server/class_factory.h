#pragma once
// The class object that the server offers for one creatable class.

#include <windows.h>

#include <objbase.h>

// Makes a new object and asks it for an interface; the object's own failure code otherwise.
using InstanceCreator = HRESULT (*)(REFIID iid, void** object);

// Lives as long as the process: its references are counted but never delete it. Locking the
// server through it takes the module's lock.
class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(InstanceCreator create) : create_(create) {}
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  private:
    InstanceCreator create_;
    LONG references_ = 1;
};
