#include "lumoauto/waiter.h"

#include <algorithm>

Waiter::Waiter(HWND window, UINT message)
    : window_(window), message_(message), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    if (wake_)
        thread_ = Handle(CreateThread(nullptr, 0, run, this, 0, nullptr));
}

Waiter::~Waiter() {
    AcquireSRWLockExclusive(&lock_);
    stopping_ = true;
    ReleaseSRWLockExclusive(&lock_);
    if (thread_) {
        SetEvent(wake_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
}

bool Waiter::add(HANDLE handle, WPARAM id, bool once) {
    Handle taken(handle);
    AcquireSRWLockExclusive(&lock_);
    const bool room = thread_ && !failed_ && entries_.size() < mostHandles;
    if (room)
        entries_.push_back({std::move(taken), id, once});
    ReleaseSRWLockExclusive(&lock_);
    if (room)
        SetEvent(wake_.get());
    return room;
}

void Waiter::remove(WPARAM id) {
    AcquireSRWLockExclusive(&lock_);
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& entry) { return entry.id == id; });
    if (found != entries_.end()) {
        closing_.push_back(std::move(found->handle));
        entries_.erase(found);
    }
    ReleaseSRWLockExclusive(&lock_);
    SetEvent(wake_.get());
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

std::vector<Waiter::Waited> Waiter::entriesToWaitOn() {
    closing_.clear();
    std::vector<Waited> waited;
    for (const Entry& entry : entries_)
        waited.push_back({entry.handle.get(), entry.id});
    return waited;
}

void Waiter::work() {
    for (;;) {
        AcquireSRWLockExclusive(&lock_);
        const bool stop = stopping_;
        const std::vector<Waited> entries = stop ? std::vector<Waited>() : entriesToWaitOn();
        ReleaseSRWLockExclusive(&lock_);
        if (stop)
            return;
        std::vector<HANDLE> handles{wake_.get()};
        for (const Waited& entry : entries)
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
            signalled(entries[index - 1].id);
    }
}

// A handle taken away meanwhile tells nothing more.
void Waiter::signalled(WPARAM id) {
    AcquireSRWLockExclusive(&lock_);
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.id == id; });
    const bool current = found != entries_.end();
    if (current && found->once)
        entries_.erase(found);
    ReleaseSRWLockExclusive(&lock_);
    if (current)
        PostMessageW(window_, message_, id, 0);
}
