#pragma once
// Reference counting for a COM object on the heap: it deletes itself with its last reference.
// The object's AddRef and Release hand on to addReference and releaseReference.

#include <windows.h>

class RefCounted {
  public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

  protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

    ULONG addReference() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG releaseReference() {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

  private:
    LONG references_ = 0;
};
