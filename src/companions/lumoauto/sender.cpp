#include "lumoauto/sender.h"

#include <optional>

namespace {

constexpr DWORD endWaitMs = 2000;

struct Request {
    short command;
    std::wstring reason;
};

} // namespace

// What the window's thread and the sending thread share; the one that lets go last frees it.
struct Sender::Shared {
    HWND window = nullptr;
    UINT message = 0;
    SendFunction send;
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::optional<Request> waiting;
    bool stopping = false;

    void work();
};

Sender::Sender(HWND window, UINT message, SendFunction send) : shared_(std::make_shared<Shared>()) {
    shared_->window = window;
    shared_->message = message;
    shared_->send =
        send ? std::move(send) : [](short command) { return sendToController(command).outcome; };
    auto* owner = new std::shared_ptr<Shared>(shared_);
    thread_ = Handle(CreateThread(nullptr, 0, run, owner, 0, nullptr));
    if (!thread_)
        delete owner;
}

Sender::~Sender() {
    AcquireSRWLockExclusive(&shared_->lock);
    shared_->stopping = true;
    ReleaseSRWLockExclusive(&shared_->lock);
    WakeConditionVariable(&shared_->changed);
    if (thread_)
        WaitForSingleObject(thread_.get(), endWaitMs);
}

bool Sender::send(short command, const std::wstring& reason) {
    if (!thread_)
        return false;
    AcquireSRWLockExclusive(&shared_->lock);
    shared_->waiting = Request{command, reason};
    ReleaseSRWLockExclusive(&shared_->lock);
    WakeConditionVariable(&shared_->changed);
    return true;
}

DWORD WINAPI Sender::run(void* owner) {
    const std::unique_ptr<std::shared_ptr<Shared>> shared(
        static_cast<std::shared_ptr<Shared>*>(owner));
    (*shared)->work();
    return 0;
}

void Sender::Shared::work() {
    const ComApartment apartment(COINIT_MULTITHREADED);
    for (;;) {
        AcquireSRWLockExclusive(&lock);
        while (!waiting && !stopping)
            SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
        const std::optional<Request> request = stopping ? std::nullopt : std::move(waiting);
        waiting.reset();
        ReleaseSRWLockExclusive(&lock);
        if (!request)
            return;
        auto sent =
            std::make_unique<Sent>(Sent{request->command, request->reason, send(request->command)});
        // Under the lock: once the window's end has begun, it takes no more results.
        AcquireSRWLockExclusive(&lock);
        if (!stopping && PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(sent.get())))
            sent.release();
        ReleaseSRWLockExclusive(&lock);
    }
}
