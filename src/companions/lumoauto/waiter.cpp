#include "lumoauto/waiter.h"

#include <algorithm>

Waiter::Waiter(HWND window, UINT message) : window_(window), message_(message) {
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (wake_)
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

Waiter::~Waiter() {
    AcquireSRWLockExclusive(&lock_);
    stopping_ = true;
    ReleaseSRWLockExclusive(&lock_);
    if (thread_) {
        SetEvent(wake_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    for (const Entry& entry : entries_)
        CloseHandle(entry.handle);
    for (HANDLE handle : closing_)
        CloseHandle(handle);
    if (wake_)
        CloseHandle(wake_);
}

bool Waiter::add(HANDLE handle, WPARAM id, bool once) {
    AcquireSRWLockExclusive(&lock_);
    const bool room = thread_ && !failed_ && entries_.size() < mostHandles;
    if (room)
        entries_.push_back({handle, id, once});
    ReleaseSRWLockExclusive(&lock_);
    if (!room) {
        CloseHandle(handle);
        return false;
    }
    SetEvent(wake_);
    return true;
}

void Waiter::remove(WPARAM id) {
    AcquireSRWLockExclusive(&lock_);
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& entry) { return entry.id == id; });
    if (found != entries_.end()) {
        closing_.push_back(found->handle);
        entries_.erase(found);
    }
    ReleaseSRWLockExclusive(&lock_);
    SetEvent(wake_);
}

bool Waiter::waiting() {
    AcquireSRWLockExclusive(&lock_);
    const bool waiting = thread_ && !failed_;
    ReleaseSRWLockExclusive(&lock_);
    return waiting;
}

DWORD WINAPI Waiter::run(void* self) {
    static_cast<Waiter*>(self)->work();
    return 0;
}

std::vector<Waiter::Entry> Waiter::entriesToWaitOn() {
    for (HANDLE handle : closing_)
        CloseHandle(handle);
    closing_.clear();
    return entries_;
}

void Waiter::work() {
    for (;;) {
        AcquireSRWLockExclusive(&lock_);
        const bool stop = stopping_;
        const std::vector<Entry> entries = stop ? std::vector<Entry>() : entriesToWaitOn();
        ReleaseSRWLockExclusive(&lock_);
        if (stop)
            return;
        std::vector<HANDLE> handles{wake_};
        for (const Entry& entry : entries)
            handles.push_back(entry.handle);
        const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                   handles.data(), FALSE, INFINITE);
        // Only this thread closes the handles it waits on: a failed wait is a fault of the
        // program, and waiting on would only spin. The window is told that nothing is watched.
        if (woken == WAIT_FAILED) {
            AcquireSRWLockExclusive(&lock_);
            failed_ = true;
            ReleaseSRWLockExclusive(&lock_);
            PostMessageW(window_, message_, stoppedId, 0);
            return;
        }
        const size_t index = woken - WAIT_OBJECT_0;
        if (index >= 1 && index < handles.size())
            signalled(entries[index - 1]);
    }
}

// A handle taken away meanwhile tells nothing more.
void Waiter::signalled(const Entry& entry) {
    AcquireSRWLockExclusive(&lock_);
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& e) { return e.id == entry.id; });
    const bool current = found != entries_.end();
    if (current && found->once) {
        CloseHandle(found->handle);
        entries_.erase(found);
    }
    ReleaseSRWLockExclusive(&lock_);
    if (current)
        PostMessageW(window_, message_, entry.id, 0);
}
