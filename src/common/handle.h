#pragma once
// An owned kernel handle (process, thread, event, mutex, file, snapshot): closed when the owner
// goes. INVALID_HANDLE_VALUE, which some functions answer for a failure, is held as none.

#include <windows.h>

#include <utility>

class Handle {
  public:
    explicit Handle(HANDLE handle = nullptr)
        : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void reset() {
        if (handle_)
            CloseHandle(std::exchange(handle_, nullptr));
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Gives the handle to a new owner.
    HANDLE release() { return std::exchange(handle_, nullptr); }

  private:
    HANDLE handle_;
};
