#pragma once
// An owned reference to a COM interface: released when the owner goes.

#include <windows.h>

#include <unknwn.h>

#include <utility>

template <class Interface> class ComPtr {
  public:
    ComPtr() = default;
    // Shares the reference: takes one of its own.
    explicit ComPtr(Interface* shared) : pointer_(shared) {
        if (pointer_)
            pointer_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.pointer_) {}
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (pointer_)
            std::exchange(pointer_, nullptr)->Release();
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Where a function that hands out a reference stores it; the old one is released first.
    Interface** put() {
        reset();
        return &pointer_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    // Gives the reference to the caller, for an out-parameter.
    Interface* detach() { return std::exchange(pointer_, nullptr); }

  private:
    Interface* pointer_ = nullptr;
};
